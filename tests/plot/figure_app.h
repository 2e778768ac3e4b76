// One application for the whole test process, kept to its end: PNG and PDF
// figures need Qt's fonts, which need a QGuiApplication.
#pragma once
#include "plot/figure_render.h"

#include <QCoreApplication>

inline void ensureGui()
{
    static int argc = 1;
    static char name[] = "quorlin_tests";
    static char* argv[] = {name, nullptr};
    if (!QCoreApplication::instance())
        makeFigureApplication(argc, argv, true).release();
}
