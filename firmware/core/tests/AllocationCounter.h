#pragma once

#include <cstddef>

// Counts the bytes this program holds through operator new, so a test can see the most that
// some code ever held at once. Every operator new of the test program goes through it.
namespace alloc_count {

// Starts a measurement: from now on, Peak() is the most held above what is held now.
void Start();
size_t Peak();

}  // namespace alloc_count
