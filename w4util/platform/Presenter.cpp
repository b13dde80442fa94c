#include "w4util/platform/Presenter.h"

#include <atomic>
#include <cstdio>

namespace w4platform {

Presenter::~Presenter() = default;

std::string Utf16ToUtf8ForDisplay(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    char32_t c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = 0xFFFD;
    }
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (c >> 18));
      out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

std::int32_t StderrPresenter::ShowMessageBox(std::u16string_view text, std::u16string_view caption,
                                             std::uint32_t /*style*/) {
  std::string line = Utf16ToUtf8ForDisplay(caption) + ": " + Utf16ToUtf8ForDisplay(text) + "\n";
  std::fwrite(line.data(), 1, line.size(), stderr);
  std::fflush(stderr);
  return kIdOk;
}

std::int32_t RecordingPresenter::ShowMessageBox(std::u16string_view text,
                                                std::u16string_view caption, std::uint32_t style) {
  {
    std::lock_guard<std::mutex> lock(m_Mutex);
    m_Boxes.push_back(Box{std::u16string(text), std::u16string(caption), style});
  }
  m_Shown.notify_all();
  return m_Answer;
}

std::vector<RecordingPresenter::Box> RecordingPresenter::Boxes() const {
  std::lock_guard<std::mutex> lock(m_Mutex);
  return m_Boxes;
}

std::size_t RecordingPresenter::Count() const {
  std::lock_guard<std::mutex> lock(m_Mutex);
  return m_Boxes.size();
}

void RecordingPresenter::WaitForCount(std::size_t count) const {
  std::unique_lock<std::mutex> lock(m_Mutex);
  m_Shown.wait(lock, [&] { return m_Boxes.size() >= count; });
}

namespace {
// Never destroyed: boxes may be shown from static destructors.
Presenter& DefaultPresenter() {
  static Presenter* presenter = new StderrPresenter();
  return *presenter;
}
std::atomic<Presenter*> g_Current{nullptr};
}  // namespace

Presenter& GetPresenter() {
  Presenter* current = g_Current.load(std::memory_order_acquire);
  return current != nullptr ? *current : DefaultPresenter();
}

Presenter* SetPresenter(Presenter* presenter) {
  return g_Current.exchange(presenter, std::memory_order_acq_rel);
}

}  // namespace w4platform
