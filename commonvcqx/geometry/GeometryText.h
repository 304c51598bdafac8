// commonvcqx/geometry/GeometryText.h
//
// Points, sizes and rectangles as short text, the form configuration files hold:
// the coordinates in decimal separated by commas ("10,20" and "0,0,640,480").
//
//   TString text = ValueToString(TRect(0, 0, 640, 480));   // "0,0,640,480"
//   TRect rect;
//   StringToValue("1,2,3", &rect);                          // (1, 2, 3, 0)
//
// Reading is forgiving, as atoi is: every field starts at 0, each is read from the
// text after the next comma, reading stops at the first missing comma, and a number
// beyond 32 bits saturates.
#pragma once

#include <commonvcqx/geometry/Point.h>
#include <commonvcqx/geometry/Rect.h>
#include <commonvcqx/geometry/Size.h>
#include <commonvcqx/text/String.h>

/// "x,y".
TString ValueToString(const TSize& size);
TString ValueToString(const TPoint& point);
/// "left,top,right,bottom".
TString ValueToString(const TRect& rect);

void StringToValue(const TString& text, TSize* size);
void StringToValue(const TString& text, TPoint* point);
void StringToValue(const TString& text, TRect* rect);
