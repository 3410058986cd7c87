#pragma once

#include <string>

namespace upload {

// Creates an empty file with a unique name beginning with prefix in the temporary folder and
// returns its path; empty when no file could be made.
std::string MakeTempFile(const char* prefix);
// Deletes path when it is not empty and clears it.
void RemoveTempFile(std::string& path);

}  // namespace upload
