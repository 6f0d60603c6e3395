#ifndef CONVERSION_TESTS_SUPPORT_WINE_H_
#define CONVERSION_TESTS_SUPPORT_WINE_H_

namespace testing_support {

// Whether the tests run under Wine rather than on Windows or a POSIX system:
// the one case in which a test may skip, for a behaviour in which Wine
// itself differs from Windows, named in the skip message.
bool RunningUnderWine();

}  // namespace testing_support

#endif  // CONVERSION_TESTS_SUPPORT_WINE_H_
