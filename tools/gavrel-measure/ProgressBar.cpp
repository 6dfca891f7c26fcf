#include "ProgressBar.h"

// Standard library
#include <algorithm>
#include <array>
#include <string>

namespace {

constexpr auto kRedrawInterval = std::chrono::milliseconds(100);
constexpr int kBarWidth = 30;

std::string duration(std::int64_t seconds) {
    std::array<char, 32> text{};
    std::snprintf(text.data(), text.size(), "%lld:%02lld", static_cast<long long>(seconds / 60),
                  static_cast<long long>(seconds % 60));
    return text.data();
}

} // namespace

ProgressBar::ProgressBar(std::FILE* terminal)
    : terminal_(terminal), start_(std::chrono::steady_clock::now()) {}

void ProgressBar::advance() {
    ++done_;
    const auto now = std::chrono::steady_clock::now();
    if (now - lastDrawn_ >= kRedrawInterval) {
        lastDrawn_ = now;
        draw();
    }
}

void ProgressBar::clear() {
    if (shown_) {
        std::fputs("\r\033[K", terminal_);
        std::fflush(terminal_);
        shown_ = false;
    }
}

void ProgressBar::finish() {
    clear();
}

void ProgressBar::draw() {
    const std::int64_t total = total_.load();
    std::string text = "\r\033[K";
    if (total > 0) {
        const double share = std::min(1.0, static_cast<double>(done_) / static_cast<double>(total));
        const int filled = static_cast<int>(share * kBarWidth);
        text += '[' + std::string(filled, '#') + std::string(kBarWidth - filled, ' ') + "] ";
        text += std::to_string(done_) + '/' + std::to_string(total);
        const double elapsed =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
        // The first images also pay for starting up: too early for an estimate.
        if (elapsed >= 1.0 && done_ < total) {
            const double left =
                elapsed / static_cast<double>(done_) * static_cast<double>(total - done_);
            text += "  about " + duration(static_cast<std::int64_t>(left + 0.5)) + " left";
        }
    } else {
        text += std::to_string(done_) + " measured, counting...";
    }
    std::fputs(text.c_str(), terminal_);
    std::fflush(terminal_);
    shown_ = true;
}
