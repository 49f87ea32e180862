// The small object base of the program's classes: a run-time class name.
#pragma once

namespace zarvex {

class CObject {
public:
    virtual ~CObject() = default;
    virtual const char* GetRuntimeClass() const = 0;
};

} // namespace zarvex
