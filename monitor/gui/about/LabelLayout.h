#pragma once
// The layout of a label's text with links, as plain geometry: which piece of the
// text goes where, and which link each piece belongs to. A link is written
// "~text|Ktarget~": the bar, the kind letter K and the target may be left out,
// and a link without its closing tilde runs to the end of the text.
//
// Lines wrap at blanks (unless the style forbids it) and may be centred
// horizontally (SS_CENTER) and vertically (SS_CENTERIMAGE); fillers (segments
// without text) cover what the text leaves free, so that painting every segment
// paints the whole label.
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

// What a click on a link does, by the letter after its bar.
enum LinkKind {
    LinkCommand = 0,  // no letter or an unknown one: WM_COMMAND to the parent
    LinkNotify = 1,   // N: WM_NOTIFY NM_CLICK to the parent, with the target
    LinkShell = 2,    // S: the shell opens the target
    LinkWinHelp = 3,  // W: context help, the target is the context number
    LinkHelpTopic = 4,  // H: the program's help topic of that name
};

struct LabelLink {
    int kind = LinkCommand;
    std::string target;
};

struct LabelSegment {
    RECT rect;
    std::string text;  // empty for a filler
    int link = -1;     // index into the layout's links; a link may span several segments
};

struct LabelLayout {
    std::vector<LabelSegment> segments;  // in layout order
    std::vector<LabelLink> links;        // in order of appearance
};

// The kind that a letter after the bar gives (either case); 0 ends the text.
int LinkKindFromLetter(char letter);

// Width in pixels of `length` characters of text, in the label's normal font.
using TextMeasure = std::function<int(const char* text, size_t length)>;

// Lays the text out in a client area of width x height; lineHeight is the
// height of one line of the font. style: the label's window style (the static
// type bits decide wrapping, SS_CENTER and SS_CENTERIMAGE the centring).
LabelLayout LayoutLabelText(const std::string& text, int width, int height, DWORD style,
                            int lineHeight, const TextMeasure& measure);

// The link under a client point, or -1: the first segment holding the point decides.
int HitTestLabel(const LabelLayout& layout, POINT point);
