// In a browser the page puts the data into the program's working directory before it starts.
#include "platform/data_folder.h"

std::string programFolder() { return ""; }

std::string findDataFile(const std::string& name, const std::string&) { return name; }
