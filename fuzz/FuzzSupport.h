#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// What the fuzz targets share: a folder of their own for entry points that read a path, and
// quiet diagnostics (a refused input logs a line; thousands a second would drown the output).
namespace fuzz {

// A folder made once per process under $TMPDIR (else /tmp) and removed when it exits
// normally; a crash leaves it behind for the crashing input to be looked at.
const std::string& TempDir();

// Replaces TempDir()/name with the bytes and returns its path.
std::string WriteTempFile(const std::string& name, const uint8_t* data, size_t size);

// Routes the diagnostics log to nowhere; call once from LLVMFuzzerInitialize.
void SilenceLog();

// Ends the run with a report that libFuzzer keeps the input of: for a property the parser
// promises (an accepted file passes its own check, two lookups agree) that does not hold.
[[noreturn]] void Violated(const char* what);

}  // namespace fuzz
