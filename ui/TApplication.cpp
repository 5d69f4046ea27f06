#include "ui/TApplication.h"

#include <iterator>

#include "ui/TForm.h"

namespace taskwell {

int TApplication::ScreenDpi() const {
    if (!screenDpiRead_) {
        screenDpi_ = backend_.ScreenLogPixels();
        screenDpiRead_ = true;
    }
    return screenDpi_;
}

void TApplication::SetTitle(const std::string& title) {
    if (title == title_) return;
    title_ = title;
    backend_.ApplicationChanged();
}

void TApplication::SetIcon(HICON icon) {
    if (icon == icon_) return;
    icon_ = icon;
    backend_.ApplicationChanged();
}

void TApplication::PeerMinimized(bool minimized) {
    if (minimized == minimized_) return;
    minimized_ = minimized;
    Guarded([&] {
        if (minimized_ && OnMinimize) OnMinimize();
        if (!minimized_ && OnRestore) OnRestore();
    });
}

void TApplication::HelpContext(int topic) {
    Guarded([&] {
        if (OnHelp) OnHelp(topic);
    });
}

void TApplication::Run() {
    if (MainForm && !terminated_) MainForm->Show();
    if (!terminated_) backend_.RunMessageLoop();
}

void TApplication::Terminate() {
    if (terminated_) return;
    terminated_ = true;
    backend_.Terminate();
}

int TApplication::MessageBox(const std::string& text, const std::string& caption, UINT flags) {
    return backend_.MessageBox(DialogOwner(), text, caption, flags);
}

void TApplication::ModalEnds(TForm& form) {
    for (auto it = modalForms_.rbegin(); it != modalForms_.rend(); ++it) {
        if (*it != &form) continue;
        modalForms_.erase(std::next(it).base());
        return;
    }
}

void TApplication::SetCursor(TCursor cursor) {
    if (cursor == cursor_) return;
    cursor_ = cursor;
    backend_.SetCursor(cursor);
}

void TApplication::HandleException(const std::exception& e) {
    try {
        backend_.MessageBox(DialogOwner(), e.what(), title_, MB_OK | MB_ICONHAND);
    } catch (...) {
        // Nothing more can be shown; the program goes on.
    }
}

void TApplication::Guarded(const std::function<void()>& handler) {
    try {
        handler();
    } catch (const std::exception& e) {
        HandleException(e);
    } catch (...) {
        HandleException(std::runtime_error("Unknown error"));
    }
}

}  // namespace taskwell
