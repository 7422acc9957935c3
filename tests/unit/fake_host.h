// A host whose waits cost no time and whose requests to stop the test
// makes: the poll loop runs at full speed in process.
#ifndef VXSROM_TESTS_UNIT_FAKE_HOST_H_
#define VXSROM_TESTS_UNIT_FAKE_HOST_H_

#include "device/session.h"

/// Milliseconds the code under test waited; a stop request to answer.
struct FakeClock {
  uint64_t waited_ms = 0;
  bool holding = false;
  bool stop = false;        ///< A request arrived (held back if holding).
  uint32_t stop_after = 0;  ///< When nonzero: the request arrives at this wait.
  uint32_t waits = 0;
};

/// The one clock the fake host reads.
inline FakeClock& Clock() {
  static FakeClock clock;
  return clock;
}

/// The host services over Clock().
inline const device::HostServices& FakeHost() {
  static const device::HostServices host = {
      [](uint32_t ms) {
        FakeClock& c = Clock();
        c.waited_ms += ms;
        if (++c.waits == c.stop_after) c.stop = true;
      },
      [] { Clock().holding = true; },
      [] { return Clock().holding && Clock().stop; }};
  return host;
}

#endif  // VXSROM_TESTS_UNIT_FAKE_HOST_H_
