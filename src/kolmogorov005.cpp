// The table of Kolmogorov-Smirnov critical values D(n) at significance 0.05.
#include "kolmogorov005.h"

IntVector KolmoN;
DoubleVector KolmoV;

void kolmogorov005()
{
    static const struct {
        int n;
        double d;
    } table[] = {
        {0, 1.0},    {1, 0.975},  {2, 0.842},  {3, 0.708},  {4, 0.624},  {5, 0.565},  {6, 0.521},
        {7, 0.486},  {8, 0.457},  {9, 0.432},  {10, 0.41},  {11, 0.391}, {12, 0.375}, {13, 0.361},
        {14, 0.349}, {15, 0.338}, {16, 0.328}, {17, 0.318}, {18, 0.309}, {19, 0.301}, {20, 0.294},
        {25, 0.27},  {30, 0.24},  {35, 0.23},  {40, 0.21},  {45, 0.2},   {50, 0.19},
    };
    for (const auto& row : table) {
        KolmoN.push_back(row.n);
        KolmoV.push_back(row.d);
    }
}
