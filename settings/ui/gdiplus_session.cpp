#include "gdiplus_session.h"

#include <objidl.h>
#include <gdiplus.h>

#include "diag.h"

namespace qelt {

GdiplusSession::GdiplusSession()
{
    Gdiplus::GdiplusStartupInput input;  // version 1, no debug callback, background thread
    const Gdiplus::Status status = Gdiplus::GdiplusStartup(&m_token, &input, nullptr);
    if (status != Gdiplus::Ok) {
        DiagError(L"GdiplusStartup", static_cast<unsigned long>(status));
        m_token = 0;
    }
}

GdiplusSession::~GdiplusSession()
{
    if (m_token != 0)
        Gdiplus::GdiplusShutdown(m_token);
}

} // namespace qelt
