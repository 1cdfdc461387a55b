#pragma once
// A top-level test window that passes its messages through a CSkinnedWindow first, the way the
// programs' skinned windows do.
#include <windows.h>

#include "skinned_window.h"
#include "window_base.h"

namespace skintest {

class HostWindow final : public qelt::WindowBase {
public:
    // Hidden windows are built as the programs build theirs, before they are shown.
    explicit HostWindow(SkinBehaviour behaviour = {}, bool visible = true);
    ~HostWindow() override;
    CSkinnedWindow& Skin() { return m_skin; }
    // Makes the window the active one so mouse tracking may start.
    void Activate() const;

private:
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    CSkinnedWindow m_skin;
};

// Removes pending messages of the thread so one test's posts do not reach the next.
void DrainMessages();

} // namespace skintest
