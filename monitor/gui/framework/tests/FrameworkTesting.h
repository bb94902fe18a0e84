#pragma once
// What tests of programs on the framework share: pumping the loop as the
// program does (LoopPump.h), seams that restore themselves, and texts of windows.
#include <windows.h>

#include <string>
#include <utility>
#include <vector>

#include "LoopPump.h"
#include "TestSeams.h"
#include "WinApp.h"

// A seam answered for the length of a scope.
template <class Answer>
class ScopedSeam {
public:
    using Setter = Answer (*)(Answer);
    ScopedSeam(Setter set, Answer answer) : set_(set), previous_(set(std::move(answer))) {}
    ~ScopedSeam() { set_(std::move(previous_)); }
    ScopedSeam(const ScopedSeam&) = delete;
    ScopedSeam& operator=(const ScopedSeam&) = delete;

private:
    Setter set_;
    Answer previous_;
};

// Message boxes answered with one button; every text shown is kept.
class MessageBoxLog {
public:
    explicit MessageBoxLog(int answer = IDOK);
    std::vector<std::string> texts;
    std::vector<UINT> types;
    int answer;

private:
    ScopedSeam<MessageBoxAnswer> seam_;
};

// Text of a window or a dialog's control.
std::string TextOf(HWND window);

// Modal windows (dialogs and sheets) a modal driver saw: where each stood; each is
// cancelled.
class ModalPlacementLog {
public:
    ModalPlacementLog();
    std::vector<RECT> rects;

private:
    ScopedSeam<ModalDriver> seam_;
};

// Whether the rectangle lies wholly inside the other one.
bool LiesWithin(const RECT& inner, const RECT& outer);
