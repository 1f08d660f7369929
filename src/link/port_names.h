// The list of serial ports the editor and karaoke-ctl probe. Standard library only.
#pragma once

#include <string>
#include <vector>

namespace kc {

// The serial ports the system lists, sorted as text, with every extra name (ports the system
// does not list, such as pseudo-terminals given on the command line) put in front in the order
// given. Names appear once.
std::vector<std::string> MergePortNames(std::vector<std::string> system_names,
                                        const std::vector<std::string>& extra_names);

}  // namespace kc
