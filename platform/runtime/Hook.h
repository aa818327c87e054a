#pragma once

// Method replacement as a table.
//
//   objc::Original<void(objc::Value)> s_updateToolbar;
//
//   void updateToolbar(id self, SEL cmd, objc::Value animated)
//   {
//       s_updateToolbar(self, cmd, animated);      // the host's own first
//       if (!objc::isKind(self, s_scrollerClass))  // the receiver class test
//           return;
//       ...
//   }
//
//   objc::replaceMethods(cls, {
//       { "_updateToolbar:", objc::replacement(&updateToolbar), s_updateToolbar },
//   });
//
// An objc::Value parameter passes the host's argument on without knowing its
// C++ type; the saved implementation is called with the same arguments.

#include "runtime/ClassDefinition.h"

#include <initializer_list>

namespace objc {

// The implementation a replacement took the place of, typed as the
// replacement sees it. Empty until its replacement is installed.
template<class Signature>
class Original;

template<class R, class... A>
class Original<R(A...)> {
public:
    R operator()(id self, SEL cmd, A... args) const { return callImp<R>(imp_, self, cmd, std::forward<A>(args)...); }
    explicit operator bool() const { return static_cast<bool>(imp_); }
    IMP& slot() { return imp_; }

private:
    IMP imp_;
};

// A free function R(id self, SEL cmd, A...) as a replacement implementation.
template<class R, class... A>
IMP replacement(R (*function)(id, SEL, A...))
{
    return imp(function);
}

struct MethodReplacement {
    SEL selector;
    IMP implementation;
    IMP& saved;

    template<class Signature>
    MethodReplacement(SEL sel, IMP replacementImp, Original<Signature>& original)
        : selector(sel)
        , implementation(std::move(replacementImp))
        , saved(original.slot())
    {
    }
};

// Replaces, in table order, each method of `cls` (its own or the one it
// inherits) with the table's implementation, after saving the one in place.
// A missing class or method leaves that entry out and the next one is still
// tried. Returns how many were installed.
int replaceMethods(Class cls, std::initializer_list<MethodReplacement> table);

// Adds a method with an explicit type encoding; false when the class is
// missing or already has its own method of that name.
bool addMethod(Class cls, SEL sel, IMP implementation, const char* types);

// The receiver class test of a replacement: `self` is an instance of `cls`
// or of a subclass. False for nil and for a missing class.
inline bool isKind(const NSObject* self, Class cls) { return self && cls && self->isKindOfClass(cls); }

} // namespace objc
