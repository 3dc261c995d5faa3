#pragma once
// Folder names on the wire: IMAP writes a name that is not plain ASCII in its own form of
// UTF-7 ("Entwürfe" travels as "Entw&APw-rfe"), and "&" as "&-".
#include <string>

// The wire form of a folder name typed by the user in UTF-8. A byte that does not belong to
// valid UTF-8 is taken as the Latin-1 character of that value, so no name is refused.
std::string EncodeFolderName(const std::string& utf8);

// The UTF-8 of a name as the server lists it; false when it is not valid modified UTF-7.
bool DecodeFolderName(const std::string& wire, std::string& utf8);
