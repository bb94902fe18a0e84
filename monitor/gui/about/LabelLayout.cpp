#include "LabelLayout.h"

#include <algorithm>
#include <cctype>

namespace {

bool IsWhite(char c)
{
    return std::isspace(static_cast<unsigned char>(c)) != 0;
}

RECT Filler(int left, int top, int right, int bottom)
{
    return RECT{left, top, right, bottom};
}

// One pass over the text: segments are cut at links, line breaks and wraps.
class Layouter {
public:
    Layouter(const std::string& text, int width, int height, DWORD style, int lineHeight,
             const TextMeasure& measure)
        : text_(text),
          width_(width),
          height_(height),
          lineHeight_(lineHeight),
          wrap_((style & 0xC) == 0),  // every static type but SS_LEFTNOWORDWRAP and SS_SIMPLE
          centre_((style & SS_CENTER) != 0),
          centreVertically_((style & SS_CENTERIMAGE) != 0),
          measure_(measure)
    {
    }

    LabelLayout Run()
    {
        while (ParseSegment()) {
        }
        AlignVertically();
        return std::move(layout_);
    }

private:
    char At(size_t i) const { return i < text_.size() ? text_[i] : '\0'; }

    void AddFiller(const RECT& rect) { layout_.segments.push_back(LabelSegment{rect, {}, -1}); }

    // Cuts one segment; false once the text is used up.
    bool ParseSegment()
    {
        if (At(pos_) == '\0') {
            EndLine();
            return false;
        }
        LabelSegment segment{RECT{x_, y_, x_, y_ + lineHeight_}, {}, -1};
        if (open_ >= 0) {
            segment.link = open_;  // a link that goes on from the line before
        } else if (At(pos_) == '~') {
            ++pos_;
            layout_.links.push_back(LabelLink{});
            open_ = int(layout_.links.size()) - 1;
            segment.link = open_;
        }
        layout_.segments.push_back(segment);
        const size_t index = layout_.segments.size() - 1;
        // Ends this segment where the text has got to (fillers may follow it).
        auto finish = [&] { layout_.segments[index].rect.right = x_; };

        for (;;) {
            const char c = At(pos_);
            if (c == '\0' || c == '~') {
                finish();
                if (open_ >= 0) {
                    open_ = -1;
                    if (c == '~')
                        ++pos_;
                }
                return true;
            }
            if (c == '\n' || c == '\r') {
                finish();
                ++pos_;
                NewLine();
                return true;
            }
            if (c == '|' && open_ >= 0) {
                finish();
                ++pos_;
                CloseLinkWithTarget();
                return true;
            }

            size_t length = 1;
            if (!IsWhite(c))
                while (IsPieceChar(At(pos_ + length)))
                    ++length;
            const int pieceWidth = measure_(text_.data() + pos_, length);
            if (wrap_ && x_ + pieceWidth > width_) {
                // A piece at the line's start stays there, overflowing: a new line
                // would start it at the same place (and lines of height 0 do not
                // even move down), so wrapping could never end.
                if (x_ != 0) {
                    finish();
                    NewLine();
                    return true;
                }
            }
            x_ += pieceWidth;
            layout_.segments[index].text.append(text_, pos_, length);
            pos_ += length;
        }
    }

    bool IsPieceChar(char c) const
    {
        return c != '\0' && !IsWhite(c) && c != '~' && !(c == '|' && open_ >= 0);
    }

    // After "|": the kind letter, then the target up to the closing tilde or the end.
    // A tilde or the end of the text in the letter's place is no letter: kind 0,
    // no target, and the tilde closes the link.
    void CloseLinkWithTarget()
    {
        LabelLink& link = layout_.links[size_t(open_)];
        open_ = -1;
        const char letter = At(pos_);
        if (letter == '\0')
            return;
        if (letter == '~') {
            ++pos_;
            return;
        }
        link.kind = LinkKindFromLetter(letter);
        ++pos_;
        size_t end = std::min(text_.find('~', pos_), text_.size());
        link.target = text_.substr(pos_, end - pos_);
        pos_ = end < text_.size() ? end + 1 : end;
    }

    void NewLine()
    {
        EndLine();
        x_ = 0;
        y_ += lineHeight_;
    }

    // The last segment and those before it on its line are moved to the centre when
    // asked, and fillers take the room left and right of them.
    void EndLine()
    {
        auto& segments = layout_.segments;
        if (segments.empty())
            return;
        const int top = segments.back().rect.top;
        size_t first = segments.size();
        int used = 0;
        while (first > 0 && segments[first - 1].rect.top == top) {
            --first;
            used += segments[first].rect.right - segments[first].rect.left;
        }
        const int free = std::max(0, width_ - used);
        const int shift = centre_ ? free / 2 : 0;
        if (shift) {
            for (size_t i = first; i < segments.size(); ++i)
                OffsetRect(&segments[i].rect, shift, 0);
            AddFiller(Filler(0, top, shift, top + lineHeight_));
        }
        if (free > shift)
            AddFiller(Filler(width_ + shift - free, top, width_, top + lineHeight_));
    }

    void AlignVertically()
    {
        auto& segments = layout_.segments;
        int lines = 1;
        int previousTop = 0;
        for (const LabelSegment& segment : segments) {
            if (segment.rect.top != previousTop)
                ++lines;
            previousTop = segment.rect.top;
        }
        const int free = std::max(0, height_ - lines * lineHeight_);
        const int shift = centreVertically_ ? free / 2 : 0;
        if (shift) {
            for (LabelSegment& segment : segments)
                OffsetRect(&segment.rect, 0, shift);
            AddFiller(Filler(0, 0, width_, shift));
        }
        if (free > shift)
            AddFiller(Filler(0, height_ + shift - free, width_, height_));
    }

    const std::string& text_;
    const int width_, height_, lineHeight_;
    const bool wrap_, centre_, centreVertically_;
    const TextMeasure& measure_;
    LabelLayout layout_;
    size_t pos_ = 0;
    int x_ = 0, y_ = 0;
    int open_ = -1;  // the link being read, or -1
};

}  // namespace

int LinkKindFromLetter(char letter)
{
    switch (std::toupper(static_cast<unsigned char>(letter))) {
    case 'N':
        return LinkNotify;
    case 'S':
        return LinkShell;
    case 'W':
        return LinkWinHelp;
    case 'H':
        return LinkHelpTopic;
    default:
        return LinkCommand;
    }
}

LabelLayout LayoutLabelText(const std::string& text, int width, int height, DWORD style,
                            int lineHeight, const TextMeasure& measure)
{
    return Layouter(text, width, height, style, lineHeight, measure).Run();
}

int HitTestLabel(const LabelLayout& layout, POINT point)
{
    for (const LabelSegment& segment : layout.segments)
        if (PtInRect(&segment.rect, point))
            return segment.link;
    return -1;
}
