// commonvcqx/platform/MessageBoxHandler.h
//
// The library shows a message box in three places only (a file that cannot be
// written, a second heap installation, a module error). They all go through one
// handler that the host replaces with its own dialog. The default writes caption and
// text to standard error and answers with the box's default button.
//
//   int Ask(const char* text, const char* caption, UINT type) { return MyDialog(...); }
//   SetMessageBoxHandler(&Ask);
#pragma once

#include <commonvcqx/platform/WinTypes.h>

/// A message box: text, caption and MB_* style in; an ID* answer out.
using TMessageBoxHandler = int (*)(const char* text, const char* caption, UINT type);

/// Installs `handler` (null restores the default) and returns the previous one.
TMessageBoxHandler SetMessageBoxHandler(TMessageBoxHandler handler);

/// Shows a box through the installed handler. Null text or caption count as "".
int ShowMessageBox(const char* text, const char* caption, UINT type);

/// The answer of the box's default button: the first unless MB_DEFBUTTON2/3 pick
/// another that the style has.
int DefaultMessageBoxAnswer(UINT type);
