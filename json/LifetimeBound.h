#pragma once

// Marks a member function whose result (a pointer, reference, iterator or
// handle) points into the object it is called on, so that clang's -Wdangling
// flags keeping that result beyond the end of a temporary object's
// statement. Nothing where the compiler does not know the attribute.
#if __has_cpp_attribute(clang::lifetimebound)
#define CONVERSION_LIFETIME_BOUND [[clang::lifetimebound]]
#else
#define CONVERSION_LIFETIME_BOUND
#endif
