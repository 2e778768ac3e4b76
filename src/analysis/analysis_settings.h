// The settings of the peak analysis, filled once from the command line and
// passed by const reference to every scan.
#pragma once

struct AnalysisSettings {
    double shrink = 2.0;        // scale of the compression of strong stretches
    int dots = 5;               // a reported peak spans more than this many marker steps
    double peakThreshold = 5.0; // height threshold on -log10(p)
    double inlimit = 0.001;     // largest p-value retained on input
};
