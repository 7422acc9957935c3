// Reservations per second of one process: reserves one EUI-64 at a time
// (a transaction each, as a run of one board does) for the given seconds
// against a database URL, then prints the count.  bench/reserve_rate.sh
// runs several at once.
#include <stdio.h>
#include <stdlib.h>

#include <chrono>
#include <string>

#include "store/store.h"

using namespace store;

int main(int argc, char** argv) {
  if (argc != 4) {
    fprintf(stderr, "usage: reserve_rate URL SECONDS NAME\n");
    return 2;
  }
  std::string reason;
  std::unique_ptr<Store> store = Store::Open(argv[1], &reason);
  if (!store) {
    fprintf(stderr, "reserve_rate: %s\n", reason.c_str());
    return 1;
  }
  RunIdentity run = {argv[3], argv[3], "bench", 1};
  const std::string name = argv[3];
  const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(atof(argv[2]));
  unsigned long count = 0;
  std::vector<uint64_t> numbers;
  while (std::chrono::steady_clock::now() < end) {
    // A run of its own each time, as a run of provision reserves once.
    run.run_id = name + "-" + std::to_string(count);
    if (store->Reserve(run, {{"04:00.0", std::nullopt}}, false, &numbers, &reason) != StoreStatus::kOk) {
      fprintf(stderr, "reserve_rate: %s\n", reason.c_str());
      return 1;
    }
    ++count;
  }
  printf("%lu\n", count);
  return 0;
}
