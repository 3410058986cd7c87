#pragma once

#include <benchmark/benchmark.h>

#include "Log.h"

// main() of a benchmark program: the device layer's diagnostics stay quiet.
#define LW52_BENCHMARK_MAIN()                                                                \
    namespace {                                                                              \
    struct QuietSink : diag::ILogSink {                                                      \
        void OnLog(int, const char*, const char*, const char*, int, const char*) override {} \
    };                                                                                       \
    }                                                                                        \
    int main(int argc, char** argv) {                                                        \
        QuietSink quiet;                                                                     \
        diag::SetLogSink(&quiet);                                                            \
        benchmark::Initialize(&argc, argv);                                                  \
        benchmark::RunSpecifiedBenchmarks();                                                 \
        benchmark::Shutdown();                                                               \
        diag::SetLogSink(nullptr);                                                           \
        return 0;                                                                            \
    }
