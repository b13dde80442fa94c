// Presenter: where the library's message boxes go on this host.
//
// The library never opens a window. Message boxes (contention notices, debug
// boxes, user messages) are handed to the current presenter, which answers
// with the button "pressed". The default presenter writes the caption and
// text to stderr and answers at once; tests install a RecordingPresenter so
// that nothing is printed and every box can be checked. No presenter may
// block waiting for a person.
//
// Thread-safety: SetPresenter/GetPresenter may be called from any thread; the
// presenter passed in must outlive its installation. RecordingPresenter is
// safe for concurrent use.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "w4util/Export.h"

namespace w4platform {

// Message box styles and answers of the reference platform.
inline constexpr std::uint32_t kMbOk = 0x0;
inline constexpr std::uint32_t kMbIconStop = 0x10;
inline constexpr std::uint32_t kMbTaskModal = 0x2000;
inline constexpr std::int32_t kIdOk = 1;

class W4UTIL_EXPORT Presenter {
 public:
  virtual ~Presenter();
  // Shows one message box; returns the answer (kIdOk when there is no choice).
  virtual std::int32_t ShowMessageBox(std::u16string_view text, std::u16string_view caption,
                                      std::uint32_t style) = 0;
};

// Writes "caption: text" (UTF-8) and a newline to stderr; answers kIdOk.
class W4UTIL_EXPORT StderrPresenter final : public Presenter {
 public:
  std::int32_t ShowMessageBox(std::u16string_view text, std::u16string_view caption,
                              std::uint32_t style) override;
};

// Keeps every box it is shown; answers `answer`.
class W4UTIL_EXPORT RecordingPresenter final : public Presenter {
 public:
  struct Box {
    std::u16string text;
    std::u16string caption;
    std::uint32_t style = 0;
  };

  explicit RecordingPresenter(std::int32_t answer = kIdOk) : m_Answer(answer) {}
  std::int32_t ShowMessageBox(std::u16string_view text, std::u16string_view caption,
                              std::uint32_t style) override;

  std::vector<Box> Boxes() const;
  std::size_t Count() const;
  // Blocks until at least count boxes were shown. For handshakes between
  // test threads: it waits on an event, never on a clock.
  void WaitForCount(std::size_t count) const;

 private:
  mutable std::mutex m_Mutex;
  mutable std::condition_variable m_Shown;
  std::vector<Box> m_Boxes;
  std::int32_t m_Answer;
};

// The current presenter (a process-wide StderrPresenter unless replaced).
W4UTIL_EXPORT Presenter& GetPresenter();
// Installs presenter (null restores the default); returns the previous one.
W4UTIL_EXPORT Presenter* SetPresenter(Presenter* presenter);

// Installs a presenter for the lifetime of the object.
class W4UTIL_EXPORT ScopedPresenter {
 public:
  explicit ScopedPresenter(Presenter& presenter) : m_Previous(SetPresenter(&presenter)) {}
  ~ScopedPresenter() { SetPresenter(m_Previous); }
  ScopedPresenter(const ScopedPresenter&) = delete;
  ScopedPresenter& operator=(const ScopedPresenter&) = delete;

 private:
  Presenter* m_Previous;
};

// UTF-16 to UTF-8; unpaired surrogates become U+FFFD.
W4UTIL_EXPORT std::string Utf16ToUtf8ForDisplay(std::u16string_view text);

}  // namespace w4platform
