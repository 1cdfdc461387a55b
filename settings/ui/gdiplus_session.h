#pragma once
// GDI+ for the life of the process: the buttons draw their indicator images with it.
#include <windows.h>

namespace qelt {

class GdiplusSession {
public:
    GdiplusSession();
    ~GdiplusSession();
    GdiplusSession(const GdiplusSession&) = delete;
    GdiplusSession& operator=(const GdiplusSession&) = delete;

private:
    ULONG_PTR m_token = 0;
};

} // namespace qelt
