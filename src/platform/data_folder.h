#pragma once
// Where the program finds its data: the working directory first, then the data folder of an
// installed copy, found from the program's own folder (bin/../share/glimmertide), so that an
// installed program starts from any folder, and a moved or staged install works too.
#include <string>

// The folder that holds the running program, ending in "/", or "" when it cannot be told.
std::string programFolder();

// name when it exists in the working directory; otherwise the installed data folder's copy when
// that exists; otherwise name again, so that opening it fails as it always did.
std::string findDataFile(const std::string& name, const std::string& programFolder);
