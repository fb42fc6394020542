#include "shell/keystates.h"

#include <QGuiApplication>

// X11's headers define macros that clash with Qt's names: included last.
#include <X11/XKBlib.h>

namespace KeyStates {

std::optional<Locks> query() {
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (!x11 || !x11->display()) return std::nullopt;
    unsigned int state = 0;
    if (XkbGetIndicatorState(x11->display(), XkbUseCoreKbd, &state) != Success) return std::nullopt;
    return Locks{(state & 1u) != 0, (state & 2u) != 0};
}

}  // namespace KeyStates
