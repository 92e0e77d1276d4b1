#pragma once

#include <map>
#include <string>

// Everything under a folder, read with the system's own calls so that no
// name passes through a framework string: path relative to the folder ('/'
// between parts) to a line with its type, mode, size, times and, for a
// plain file, its bytes. Links are not followed. Empty when it is missing.
using Tree = std::map<std::string, std::string>;
Tree snapshot (const std::string& folder);

// The part of a tree under one of its top entries (the entry itself
// included, as ""), or all but the given top entries.
Tree subtree (const Tree& tree, const std::string& top);
Tree without (const Tree& tree, std::initializer_list<const char*> tops);

// Deletes a file or a folder with everything in it, links not followed.
void removeTree (const std::string& path);

// Writes a file whole, with a fixed time in the past.
void writeFile (const std::string& path, const std::string& bytes);
void makeFolder (const std::string& path);
