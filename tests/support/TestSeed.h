#pragma once
// The seed of a randomised test: TAV_SEED when set (to replay a run), else a
// fresh one. It is printed either way.
#include <cstdlib>
#include <iostream>
#include <random>

inline unsigned TestSeed()
{
  const char* fixed = std::getenv("TAV_SEED");
  const unsigned seed = fixed ? static_cast<unsigned>(std::strtoul(fixed, nullptr, 10)) : std::random_device{}();
  std::cout << "TAV_SEED=" << seed << " replays this run\n";
  return seed;
}
