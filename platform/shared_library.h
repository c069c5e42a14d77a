#pragma once
// A shared library loaded while the program runs (dlopen), for libraries
// that only some commands need: every library the program is linked to is
// loaded and relocated at every start, and slotkeeper-cli starts once per
// command (`list` of a PS2 card is held to 10 ms of CPU in all).

#include <memory>

namespace slk::platform {

class SharedLibrary {
 public:
  // Not open when the library cannot be loaded (see Error()).
  explicit SharedLibrary(const char* name);

  bool IsOpen() const { return handle_ != nullptr; }
  // Sets `function` to the library's function of that name; false, leaving
  // it null, when there is none.
  template <typename F>
  bool Find(F*& function, const char* name) const {
    function = reinterpret_cast<F*>(Symbol(name));
    return function != nullptr;
  }
  // The system's reason for the last failure to load or find, or "".
  static const char* Error();

 private:
  void* Symbol(const char* name) const;

  struct Close {
    void operator()(void* handle) const;
  };
  std::unique_ptr<void, Close> handle_;
};

}  // namespace slk::platform
