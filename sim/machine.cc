#include "sim/machine.h"

#include <sstream>

namespace sim {

bool ParseMachine(const std::string& text, Machine* machine, std::string* error) {
  std::istringstream in(text);
  std::string line;
  int number = 0;
  while (std::getline(in, line)) {
    ++number;
    std::istringstream words(line.substr(0, line.find('#')));
    std::string keyword;
    if (!(words >> keyword)) continue;
    if (keyword == "fault") {
      std::string op;
      long status;
      if (!(words >> op >> status)) {
        *error = "line " + std::to_string(number) + ": fault OPERATION STATUS";
        return false;
      }
      machine->faults[op].status = static_cast<LibraryStatus>(status);
    }
  }
  return true;
}

}  // namespace sim
