#pragma once
// A set of message UIDs, each exactly the bytes taken from the server's reply.
// std::string compares its characters as unsigned bytes, a proper prefix first:
// the byte-wise order the set keeps.
#include <set>
#include <string>

using UidSet = std::set<std::string>;
