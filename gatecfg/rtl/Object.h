#pragma once
// Common base of every runtime object, so that events can name any sender.

namespace rtl {

class TObject {
public:
    TObject() = default;
    TObject(const TObject&) = delete;
    TObject& operator=(const TObject&) = delete;
    virtual ~TObject() = default;
};

}  // namespace rtl
