// Small free functions the rest of the program uses: version tests, a plain message box, a wait that
// keeps the window responsive, icon loading from the program's own resources, the version stamp of
// an executable, a path utility and the screen-saver notification made at shutdown. None keeps state.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/Shell.h"
#include "platform/SystemFacts.h"
#include "platform/UiBackend.h"
#include "ui/TApplication.h"
#include "ui/TForm.h"

namespace taskwell {

class TApplication;
class TIcon;

// Version tests; each is false when the version record cannot be had.
bool IsWindowsNT(ISystem& system);
bool IsWindows98(ISystem& system);
bool IsWindows95(ISystem& system);

// A modal message box owned by the desktop, with an OK button and no icon, brought to the foreground.
void ShowMessageBox(IUiBackend& ui, const std::string& caption, const std::string& text);

// Processes window messages, at least once, until more than ms milliseconds have passed. The time is
// measured on the system's tick count, which never jumps back, so a wait is never longer than asked
// (a wait measured on the time of day would never end across midnight).
void WaitWithMessages(ISystem& system, TApplication& app, int ms);

// Loads the program's own icon resource of that name (upper-cased) into the icon object; on any
// failure the object gets no picture.
void LoadIconResource(IShell& shell, TIcon& icon, const std::string& name);

// The "FileVersion" text of the file's version resource (block 040904E4); empty when absent.
std::string GetFileVersionText(ISystem& system, const std::string& path);
// "1.1.2.25" gives "1.01b"; see ShortVersionTextOf.
std::string ShortVersionText(ISystem& system, const std::string& path);
// "1.1.0.25" gives "25".
std::string BuildText(ISystem& system, const std::string& path);
// The same on a version stamp already read.
std::string ShortVersionTextOf(const std::string& stamp);
std::string BuildTextOf(const std::string& stamp);

std::string AddTrailingBackslash(const std::string& path);

// Where a dialog of the given size goes over the owner: centred (halves rounded toward zero), and no
// nearer than 2 pixels to the screen's left and top edges.
TRect DialogPlacement(const TForm& owner, int width, int height);
// Moves the dialog there, keeping its size.
void PlaceDialog(TForm& dialog, const TForm& owner);

// Shows a dialog made for one showing: made and filled under the hourglass, placed over the owner,
// shown modally, and destroyed under the hourglass again. Should filling fail, the dialog goes and
// the cursor comes back.
template <class Make, class Fill>
void ShowFilledDialog(TForm& owner, Make make, Fill fill) {
    THourGlass hourglass(owner.App());
    auto dialog = make();
    PlaceDialog(*dialog, owner);
    fill(*dialog);
    hourglass.Restore();
    dialog->ShowModal();
    THourGlass closing(owner.App());
    dialog.reset();
}

// Runs a step on its own: an error it raises ends that step alone and is not shown.
template <class Step>
void RunQuietly(Step step) {
    try {
        step();
    } catch (...) {
    }
}

// Gives an icon back to the system; one that cannot be destroyed costs a handle, nothing else.
// Null is no icon.
void DestroyIconQuietly(IShell& shell, HICON icon);

// The work areas of the desktop's monitors (each monitor less the task bar and the other bars
// docked at its edges), the primary first. Where the system cannot list its monitors, the primary
// monitor's alone; none when neither can be had.
std::vector<TRect> DesktopWorkAreas(ISystem& system);

// How much of a window must lie on a work area for the user to reach it: a piece the size of a
// caption's grip.
constexpr int kReachableWidth = 40;
constexpr int kReachableHeight = 20;
// Where a window with these bounds goes so that the user can reach it: where it is when at least
// kReachableWidth by kReachableHeight of it lies on one work area (or no work area is known);
// otherwise onto the work area nearest to it, whole, keeping its size where the area is large
// enough and shrunk to the area where it is not.
TRect PlacementOnScreen(const TRect& bounds, const std::vector<TRect>& workAreas);
// The bounds moved onto the area whole: kept where they lie inside it already, their size kept
// where the area is large enough and shrunk to the area where it is not.
TRect MovedOnto(const TRect& bounds, const TRect& area);

// Tells the system that no screen saver is running.
void ResetScreenSaverFlag(ISystem& system);

}  // namespace taskwell
