// The programs link the C++ runtime statically. Two of its rare paths would otherwise pull in more
// code than the programs have of their own: the default terminate handler, which demangles the
// exception's type name for a console these GUI programs do not have, and the string and vector
// members' error paths, which throw the std::string-based logic_error family. Nothing in the
// programs catches those errors, so ending the program at once is what they do anyway.
#include <cstdlib>
#include <exception>
#include <new>

namespace __gnu_cxx {

void __verbose_terminate_handler() {
    std::abort();
}

}  // namespace __gnu_cxx

namespace std {

// Out of memory stays an exception: the registry helpers report it in their error box.
void __throw_bad_alloc() {
    throw bad_alloc();
}

void __throw_bad_array_new_length() {
    throw bad_array_new_length();
}

void __throw_length_error(const char*) {
    terminate();
}

void __throw_logic_error(const char*) {
    terminate();
}

void __throw_out_of_range_fmt(const char*, ...) {
    terminate();
}

}  // namespace std
