// The benchmarks, then what the pixel conversions chose on this machine:
// which table and which kind of store each kernel and size class kept, and
// what every candidate measured during its trials.
#include <benchmark/benchmark.h>
#include <cpuid.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "acq/kernel_dispatch.hpp"

namespace {

std::string CpuModel() {
  unsigned regs[12] = {};
  for (unsigned leaf = 0; leaf < 3; ++leaf) {
    if (__get_cpuid(0x80000002u + leaf, &regs[4 * leaf], &regs[4 * leaf + 1], &regs[4 * leaf + 2],
                    &regs[4 * leaf + 3]) == 0) {
      return "unknown";
    }
  }
  char text[49] = {};
  std::memcpy(text, regs, 48);
  std::string model(text);
  model.erase(0, model.find_first_not_of(' '));
  return model;
}

std::string Describe(const grabline::kernels::Candidate &c) {
  return std::string(c.table->name) + (c.stream ? "+stream" : "");
}

void PrintChoices() {
  using namespace grabline::kernels;
  const char *forced_table = std::getenv("GRABLINE_KERNELS");
  const char *forced_stream = std::getenv("GRABLINE_STREAM");
  std::printf(
      "\nkernel choices on %s (share of the cache counted on: %llu KiB; "
      "GRABLINE_KERNELS=%s GRABLINE_STREAM=%s)\n",
      CpuModel().c_str(), static_cast<unsigned long long>(CacheShareBytes() >> 10),
      forced_table != nullptr ? forced_table : "", forced_stream != nullptr ? forced_stream : "");
  if (!Dispatch().Warning().empty()) std::printf("  %s", Dispatch().Warning().c_str());
  std::printf("  %-10s %-9s %-14s %6s %8s  %s\n", "kernel", "size", "choice", "trials", "cost",
              "source GB/s of each candidate, best trial");
  for (const ChoiceReport &r : Dispatch().Reports()) {
    std::string rates;
    for (const auto &[candidate, rate] : r.rates) {
      char one[64];
      std::snprintf(one, sizeof one, "%s%s %.1f", rates.empty() ? "" : ", ",
                    Describe(candidate).c_str(), rate / 1e9);
      rates += one;
    }
    const std::string choice = r.decided ? Describe(r.choice) : "(not measured)";
    std::printf("  %-10s %-9s %-14s %6d %5.1f ms  %s\n", KernelName(r.kernel),
                SizeClassName(r.size), choice.c_str(), r.trials, r.cost_ms, rates.c_str());
  }
}

}  // namespace

int main(int argc, char **argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::AddCustomContext("cpu_model", CpuModel());
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  PrintChoices();
  return 0;
}
