// Peak shape metrics. Guarded quotients fall back to 0; an empty vector or a
// summit index outside it gives 0 (for the two-number texts 0, tab, 0).
#include "peakcomber2.h"

#include "numberformat.h"

namespace {

bool summitInside(const DoubleVector& v, int loc)
{
    return loc >= 0 && static_cast<size_t>(loc) < v.size();
}

std::string twoNumbers(double first, double second)
{
    std::string s;
    appendReal(s, first);
    s += '\t';
    appendReal(s, second);
    return s;
}

double sumOf(const DoubleVector& v)
{
    double sum = 0;
    for (double x : v)
        sum += x;
    return sum;
}

} // namespace

double monotony(DoubleVector myVect, int minloc)
{
    if (!summitInside(myVect, minloc))
        return 0;
    const int n = static_cast<int>(myVect.size());
    double rises = 0;
    int counter = -2;
    double value = myVect[0];
    for (int i = 0; i <= minloc; ++i) {
        if (myVect[i] > value)
            rises += 1;
        value = myVect[i];
        counter += 1;
    }
    double value2 = myVect[n - 1];
    for (int i = n - 1; i >= minloc; --i) {
        if (myVect[i] > value2)
            rises += 1;
        value2 = myVect[i];
        counter += 1;
    }
    return counter == 0 ? 0 : rises / counter;
}

double peakmultiplicity(DoubleVector myVect, double max)
{
    double multi = 0;
    for (double x : myVect)
        if (x == max)
            multi += 1;
    return multi / static_cast<double>(myVect.size());
}

double repetitions(DoubleVector myVect)
{
    double reps = 0;
    double value = -1.0;
    for (double x : myVect) {
        if (x == value)
            reps += 1;
        value = x;
    }
    return reps / static_cast<double>(myVect.size());
}

double heighttowidth(IntVector myLoc, double maxpval)
{
    if (myLoc.empty())
        return 0;
    const int64_t width = int64_t(myLoc.back()) - myLoc.front() + 1;
    return (maxpval / static_cast<double>(width)) * 1000000;
}

std::string verticalBalance(DoubleVector Pv)
{
    if (Pv.empty())
        return twoNumbers(0, 0);
    const double mean = sumOf(Pv) / static_cast<double>(Pv.size());
    double sum1 = 0, sum2 = 0, count1 = 0, count2 = 0;
    for (double x : Pv) {
        if (x >= mean) {
            sum1 += x;
            count1 += 1;
        } else {
            sum2 += x;
            count2 += 1;
        }
    }
    const double answer1 = sum2 > 0 ? sum1 / sum2 : 0;
    const double answer2 = count2 > 0 ? count1 / count2 : 0;
    return twoNumbers(answer2, answer1);
}

double maxByMean(DoubleVector Pv, int maxloc)
{
    if (!summitInside(Pv, maxloc))
        return 0;
    const double mean = sumOf(Pv) / static_cast<double>(Pv.size());
    return mean > 0 ? Pv[static_cast<size_t>(maxloc)] / mean : 0;
}

std::string skew(DoubleVector Pv, int maxloc)
{
    if (!summitInside(Pv, maxloc))
        return twoNumbers(0, 0);
    const double max = Pv[static_cast<size_t>(maxloc)];
    // A run of consecutive summit values counts as one summit.
    DoubleVector collapsed;
    for (size_t i = 0; i < Pv.size(); ++i)
        if (!(i > 0 && Pv[i] == max && Pv[i] == collapsed.back()))
            collapsed.push_back(Pv[i]);
    const int top = minmaxloc(collapsed, 1);
    double sumL = 0, sumR = 0;
    int countL = 0, countR = 0;
    for (int i = 0; i < static_cast<int>(collapsed.size()); ++i) {
        if (i < top) {
            sumL += collapsed[i];
            countL += 1;
        } else if (i > top) {
            sumR += collapsed[i];
            countR += 1;
        }
    }
    const double sc1 = sumL == 0 ? 0 : sumR / sumL;
    const double sc2 = countL != 0 ? static_cast<double>(countR) / countL : 0;
    return twoNumbers(sc2, sc1);
}
