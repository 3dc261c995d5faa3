#pragma once
// Reading the server's list of folders: one untagged LIST response names one folder, with its
// attributes, its hierarchy delimiter and its name in wire form ("INBOX.Entw&APw-rfe").
#include <string>
#include <vector>

struct ListedFolder {
    std::string wireName;    // as the server wrote it, quoting and literal undone
    bool selectable = true;  // false for \Noselect and \NonExistent
};

// The folder of "LIST (\HasNoChildren) "." "INBOX.Drafts"" (the name quoted, bare, or a
// literal whose bytes are in literals); false when text is other data or not a whole LIST.
bool ReadListedFolder(const std::string& text, const std::vector<std::string>& literals, ListedFolder& folder);
