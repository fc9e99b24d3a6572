#pragma once
// DummyForm: the library's empty window. The bar shows it off the top of the screen while it
// switches popups, so that it, not the main window, takes the activation from the closing popup.
// It exists while any menu control does.
class QWidget;

namespace quillane::controls::DummyForm {

// Counts a menu control that may use the window; the last release deletes it.
void Acquire();
void Release();
// Moves the window to top -1000 twips and shows it (made on first use).
void ShowOffScreen();
// Hides the window once a popup has taken the activation.
void Hide();
// The window, or null before its first use.
QWidget* Window();

}  // namespace quillane::controls::DummyForm
