// The run: process-wide state, the driver (options, input tables, chromosome
// batches), the chromosome scan, the chunk splitting and the quality score.
#include "peakcomber1.h"

#include "conversions.h"
#include "kolmogorov.h"
#include "kolmogorov005.h"
#include "linereader.h"
#include "numberformat.h"
#include "peakcomber2.h"
#include "rowpipeline.h"
#include "rowsplitter.h"
#include "setZ.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <sys/stat.h>
#include <unordered_set>

// Created in this order and destroyed in reverse: the report writer goes
// last and flushes what it still holds into its file, also after an error
// stop.
ReportWriter out_stream;
std::string Filename;
IntVector Lvec;
WorkPositions Ltemp;
DoubleVector Ptemp, Pvec, PvalL;
IntVector StartL, EndL, NoCrossL, NoCrossR;
std::vector<std::string> Switches;

double shrink = 2.0;
int dots = 5;
double PeakThreshold = 5.0;
double inlimit = 0.001;

void (*batchHandler)(const std::string& chromosome) = Analyze;

const char* const kReportHeader =
    "filename\tchrom\trange\tmax\tbestslope0\tbestslope\tmonot\tmultip\treps\tratio\tkolmo\trange\tcount\t"
    "spacing\tbalance\tskew\tvbal1\tvbal2\tmaxbyMean\tGQS\n";

// ---------------------------------------------------------------------------
// Options

namespace {

struct RunSettings {
    std::string Listname;
    int list_used = 0;
    std::string Outname;
    FieldSeparator Delim;
    int cols[3] = {0, 0, 0}; // lcolumn, pcolumn, chrcolumn
    int headeryes = 0;
    int headersize = 1;
    std::string Missing = "NA";
};

[[noreturn]] void stopRun(const char* message)
{
    std::fputs(message, stdout);
    std::fflush(stdout);
    std::exit(1);
}

// Value of the first occurrence of word in Switches (values count too), or
// null when absent or in the last position.
const std::string* optionValue(const char* word)
{
    const auto it = std::find(Switches.begin(), Switches.end(), word);
    if (it == Switches.end() || it + 1 == Switches.end())
        return nullptr;
    return &*(it + 1);
}

int requiredColumn(const char* word, const char* message)
{
    const std::string* v = optionValue(word);
    const int column = v ? toInt32(*v) : 0;
    if (column < 1)
        stopRun(message);
    return column;
}

void readInputOptions(RunSettings& rs)
{
    const std::string* file = optionValue("-file");
    Filename = file ? *file : std::string();
    if (const std::string* list = optionValue("-list")) {
        rs.Listname = *list;
        rs.list_used = 1;
    }
    if (rs.Listname.empty() && Filename.empty())
        stopRun("You need to specify '-file' or '-list'.\n\n");
    if (const std::string* out = optionValue("-out")) {
        rs.Outname = *out;
    } else {
        rs.Outname = Filename + ".out";
        std::fputs("output name = input name + '.out'\n", stdout);
    }
    const std::string* delim = optionValue("-delim");
    if (delim && delim->empty())
        stopRun("Incorrect delim\n");
    rs.Delim = separatorForWord(delim ? *delim : std::string("tab"));
}

void readTableOptions(RunSettings& rs)
{
    rs.cols[0] = requiredColumn("-lcolumn", "Incorrect lcolumn\n");
    rs.cols[1] = requiredColumn("-pcolumn", "Incorrect pcolumn\n");
    rs.cols[2] = requiredColumn("-chrcolumn", "Incorrect chrcolumn\n");
    const std::string* header = optionValue("-header");
    rs.headeryes = header && *header == "yes";
    const std::string* size = optionValue("-header-size");
    rs.headersize = (size && !size->empty()) ? std::max(toInt32(*size), 1) : 1;
}

void readAnalysisOptions(RunSettings& rs)
{
    shrink = 2.0;
    if (const std::string* v = optionValue("-shrink"))
        shrink = toDouble(*v);
    if (shrink < 0)
        stopRun("Incorrect shrink\n");
    dots = 5;
    if (const std::string* v = optionValue("-dots"))
        dots = toInt32(*v);
    if (dots < 1)
        stopRun("Incorrect dots\n");
    PeakThreshold = 5.0;
    if (const std::string* v = optionValue("-peak-limit"))
        PeakThreshold = toDouble(*v);
    if (PeakThreshold < 0)
        stopRun("Incorrect peak_threshold\n");
    const std::string* missing = optionValue("-missing");
    rs.Missing = missing ? *missing : std::string("NA");
    inlimit = 0.001;
    if (const std::string* v = optionValue("-inlimit")) {
        double value = toDouble(*v);
        if (value <= 0)
            value = 0.001;
        inlimit = value;
        std::printf("inlimit = %s\n", formatReal(inlimit).c_str());
    }
}

// True when out names the input file itself, by path or through a link.
bool sameFile(const std::string& in, const std::string& out)
{
    if (in == out)
        return true;
    struct stat a, b;
    return stat(in.c_str(), &a) == 0 && stat(out.c_str(), &b) == 0 && a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// ---------------------------------------------------------------------------
// Reading one table

// Chromosome names of the current and the previous accepted row; they live
// across the inputs of a list and start empty with each driver run.
std::string CHRentry, CHRentryOLD;

// What the reader noticed in one input, for warnings that leave the results
// unchanged.
struct ReadNotes {
    long long shortRows = 0, badPositions = 0, badPvalues = 0, outsidePvalues = 0, innerCarriageReturns = 0;
    bool ungrouped = false, unsorted = false;
    std::unordered_set<std::string> chromosomes;
};

void warn(const char* what)
{
    std::fprintf(stderr, "quorlin: warning: %s: %s\n", Filename.c_str(), what);
}

void warnCount(long long count, const char* what)
{
    if (count == 0)
        return;
    std::fprintf(stderr, "quorlin: warning: %s: %lld %s\n", Filename.c_str(), count, what);
}

void reportNotes(const ReadNotes& notes)
{
    warnCount(notes.shortRows, "rows had fewer fields than the largest column number and were skipped");
    warnCount(notes.badPositions, "rows had a position that is not a whole 32-bit number; it was read as 0");
    warnCount(notes.badPvalues, "rows had a p-value that is not a number; it was read as 0");
    warnCount(notes.outsidePvalues, "rows had a p-value outside 0..1 (or nan)");
    warnCount(notes.innerCarriageReturns, "lines held a carriage return inside the line; carriage returns are "
                                          "dropped, so carriage returns alone do not end lines");
    if (notes.ungrouped)
        warn("a chromosome appears again after another chromosome's rows; the table is not grouped by "
             "chromosome, so it was analysed in separate batches");
    if (notes.unsorted)
        warn("positions go down within a chromosome batch; the table is not sorted by position");
}

void startBatch(const std::string_view name, ReadNotes& notes)
{
    CHRentryOLD = std::move(CHRentry);
    CHRentry.assign(name);
    if (!notes.chromosomes.insert(CHRentry).second)
        notes.ungrouped = true;
}

// One row with its position, p-value and chromosome fields.
void readRow(const std::string_view f[3], const RunSettings& rs, long long& accepted, ReadNotes& notes)
{
    if (f[1] == rs.Missing || f[0] == rs.Missing)
        return;
    bool posOk = false, pOk = false;
    const int32_t position = toInt32(f[0].data(), f[0].size(), &posOk);
    const double p = toDouble(f[1].data(), f[1].size(), &pOk);
    notes.badPositions += !posOk;
    notes.badPvalues += !pOk;
    notes.outsidePvalues += pOk && !(p >= 0 && p <= 1);
    if (++accepted == 1) {
        CHRentry.assign(f[2]);
        CHRentryOLD = CHRentry;
        notes.chromosomes.insert(CHRentry);
    } else if (f[2] != CHRentry) {
        startBatch(f[2], notes);
        batchHandler(CHRentryOLD);
        Pvec.clear();
        Lvec.clear();
    }
    if (p <= inlimit) {
        if (!Lvec.empty() && position < Lvec.back())
            notes.unsorted = true;
        Pvec.push_back(p);
        Lvec.push_back(position);
    }
}

void openReport(const std::string& outname)
{
    if (!out_stream.open(outname)) {
        std::fprintf(stderr, "quorlin: cannot create report file '%s': %s\n", outname.c_str(), std::strerror(errno));
        std::fflush(stdout);
        std::exit(1);
    }
    out_stream.write(kReportHeader);
}

// Reads the rows of one table and hands its batches over, all but the last
// one. Returns false when the table could not be read to its end. The
// reading thread has ended when this returns.
bool readTable(const RunSettings& rs, std::unique_ptr<InputSource> source, ReadNotes& notes)
{
    RowPipeline rows(std::move(source), rs.Delim, rs.cols, rs.headeryes ? rs.headersize : 0);
    if (rs.headeryes && !rows.inputEmpty())
        std::printf("extract header of size %d\n", rs.headersize);
    long long accepted = 0;
    while (const RowBlock* block = rows.next())
        for (size_t r = 0; r < block->rows(); ++r)
            readRow(block->row(r), rs, accepted, notes);
    notes.shortRows = rows.shortRows();
    notes.innerCarriageReturns = rows.innerCarriageReturns();
    return !rows.failed();
}

void processInput(const RunSettings& rs, const std::string& outname)
{
    openReport(outname);
    auto source = openInput(Filename);
    if (!source)
        stopRun("Input file not found\n");
    ReadNotes notes;
    if (!readTable(rs, std::move(source), notes))
        stopRun("Input file could not be read\n");
    batchHandler(CHRentry);
    if (!out_stream.close())
        stopRun("Output file could not be written\n");
    Pvec.clear();
    Lvec.clear();
    reportNotes(notes);
}

void processList(const RunSettings& rs)
{
    auto source = openInput(rs.Listname);
    if (!source)
        stopRun("List file not found\n");
    LineReader list(std::move(source));
    std::string_view line;
    while (!list.atEnd() && list.next(line)) {
        Filename.assign(line);
        const std::string outname = Filename + ".out";
        processInput(rs, outname);
    }
    if (list.failed())
        stopRun("List file could not be read\n");
}

} // namespace

void peakcomber()
{
    if (KolmoN.empty())
        kolmogorov005();
    if (Zscore.empty())
        setZ();
    CHRentry.clear();
    CHRentryOLD.clear();
    RunSettings rs;
    readInputOptions(rs);
    readTableOptions(rs);
    readAnalysisOptions(rs);
    if (!rs.list_used && sameFile(Filename, rs.Outname))
        stopRun("Output file is the input file\n");
    std::fflush(stdout);
    if (rs.list_used)
        processList(rs);
    else
        processInput(rs, rs.Outname);
}

// ---------------------------------------------------------------------------
// Chromosome scan

namespace {

constexpr double kBackgroundCeiling = 7.3;
constexpr double kTrimLimit = 25000.0;
constexpr int64_t kShortenLimit = int64_t(1) << 62;

// Keeps, in all four marker vectors, exactly the markers for which keep(i).
template <typename Keep>
void keepMarkers(Keep keep)
{
    size_t out = 0;
    for (size_t i = 0; i < Lvec.size(); ++i) {
        if (!keep(i))
            continue;
        Lvec[out] = Lvec[i];
        Pvec[out] = Pvec[i];
        Ltemp[out] = Ltemp[i];
        Ptemp[out] = Ptemp[i];
        ++out;
    }
    Lvec.resize(out);
    Pvec.resize(out);
    Ltemp.resize(out);
    Ptemp.resize(out);
}

// Truncation of a shift length toward zero; NaN gives 0 and values beyond
// +-2^62 saturate, so that position arithmetic stays inside 64 bits.
int64_t truncateShift(double x)
{
    if (std::isnan(x))
        return 0;
    if (x >= static_cast<double>(kShortenLimit))
        return kShortenLimit;
    if (x <= -static_cast<double>(kShortenLimit))
        return -kShortenLimit;
    return static_cast<int64_t>(x);
}

void removeChunk(int locL, int locR)
{
    keepMarkers([&](size_t i) { return static_cast<int>(i) < locL || static_cast<int>(i) > locR; });
}

} // namespace

void trimBackground()
{
    DoubleVector Trunk;
    for (double v : Ptemp)
        if (v < kBackgroundCeiling)
            Trunk.push_back(v);
    const int64_t b = static_cast<int64_t>(Trunk.size());
    if (b == 0 || Ltemp.empty())
        return;
    std::sort(Trunk.begin(), Trunk.end());
    const double mean_chunk = static_cast<double>((Ltemp.back() - Ltemp.front()) / b);
    int64_t cut_point = 0;
    if (mean_chunk < kTrimLimit)
        cut_point = b - static_cast<int64_t>(std::trunc((mean_chunk / kTrimLimit) * static_cast<double>(b)));
    cut_point = std::min(cut_point, b - 1);
    const double newlimit = Trunk[static_cast<size_t>(cut_point)];
    keepMarkers([&](size_t i) { return !(Ptemp[i] < newlimit); });
}

void smoothProfile()
{
    const size_t n = Pvec.size();
    for (size_t i = 2; i + 2 < n; ++i)
        Ptemp[i] = fittedValueAt(Lvec.data() + i - 2, Pvec.data() + i - 2, 5, 2);
}

int64_t gapShortening(int64_t dist, double pVal, double tempMinP, double tempMaxP)
{
    const double coeff = tempMaxP == tempMinP ? 0.0 : (pVal - tempMinP) / (tempMaxP - tempMinP);
    return truncateShift((static_cast<double>(dist) * coeff) * shrink);
}

// The gaps are shortened left to right; a gap's shortening moves every later
// position left, but never to or below its predecessor. With D[j] = Ltemp[j] - j
// the pass over gap i sets D[j] = max(D[j] - shorten, D[i]) for all j > i once
// the first pass has made D non-decreasing, so every later pass is the clamp
// x -> max(x + A, B) composed into one function: O(n) instead of O(n^2), with
// the same positions.
void compressPositions()
{
    const size_t n = Ltemp.size();
    if (n < 2)
        return;
    const double tempMinP = minmax(Ptemp, -1);
    const double tempMaxP = minmax(Ptemp, 1);
    const int64_t shorten0 = gapShortening(Ltemp[1] - Ltemp[0], (Ptemp[1] + Ptemp[0]) * 0.5, tempMinP, tempMaxP);
    // First pass: D[j] = max(D[0], max over 0 < k <= j of D[k] - shorten0).
    WorkPositions base(n);
    base[0] = Ltemp[0];
    int64_t running = std::numeric_limits<int64_t>::min();
    for (size_t j = 1; j < n; ++j) {
        running = std::max(running, Ltemp[j] - static_cast<int64_t>(j) - shorten0);
        base[j] = std::max(base[0], running);
    }
    __int128 A = 0;
    __int128 B = std::numeric_limits<int64_t>::min();
    auto D = [&](size_t j) { return static_cast<int64_t>(std::max<__int128>(base[j] + A, B)); };
    for (size_t i = 1; i + 1 < n; ++i) {
        const int64_t di = D(i);
        const int64_t dist = D(i + 1) - di + 1;
        Ltemp[i] = di + static_cast<int64_t>(i);
        const int64_t shorten = gapShortening(dist, (Ptemp[i + 1] + Ptemp[i]) * 0.5, tempMinP, tempMaxP);
        A -= shorten;
        B = std::max<__int128>(B - shorten, di);
    }
    Ltemp[n - 1] = D(n - 1) + static_cast<int64_t>(n - 1);
}

void straightenPositions()
{
    const size_t n = Ltemp.size();
    for (size_t first = 1; first <= 2; ++first) {
        if (n <= first + 1)
            continue;
        for (size_t k = first; k + 1 < n; k += 2) {
            const int64_t loc1 = Ltemp[k - 1];
            const int64_t loc2 = Ltemp[k + 1];
            if (loc2 - loc1 > 3)
                Ltemp[k] = (loc1 + loc2) / 2;
        }
    }
}

void Analyze(const std::string& CHRentryOLD)
{
    analyzeWith(CHRentryOLD, compressPositions, splitAll);
}

void analyzeWith(const std::string& CHRentryOLD, void (*compress)(), int (*split)(double))
{
    NoCrossL.clear();
    NoCrossR.clear();
    Pvec = vectorMath(Pvec, 1);
    Ltemp.assign(Lvec.begin(), Lvec.end());
    Ptemp = Pvec;
    if (Lvec.empty())
        return;
    trimBackground();
    smoothProfile();
    compress();
    straightenPositions();
    while (!Ltemp.empty()) {
        if (PeakThreshold > minmaxOf(Ptemp, 1))
            break;
        const int report = split(-9.99);
        const int locL = StartL[report];
        const int locR = EndL[report];
        const double maxP = PvalL[report];
        if (locR - locL > dots && maxP > PeakThreshold && report > 1) {
            NoCrossL.push_back(Lvec[locL]);
            NoCrossR.push_back(Lvec[locR]);
            writePeakRow(locL, locR, CHRentryOLD);
        }
        removeChunk(locL, locR);
    }
}

// ---------------------------------------------------------------------------
// Chunk splitting

namespace {

constexpr int64_t kGapPenalty = 10;

// Gap tree: gap j (between markers j-1 and j, j = 1..n-1) with the widest
// gap of every stretch at the root of its subtree, the leftmost one on ties.
// A cut at the root keeps the stretch left or right of it, which is exactly
// the root's left or right subtree, so the nested cutting walks down the
// tree in O(1) per chunk.
struct GapTree {
    std::vector<int64_t> gap;
    std::vector<int> left, right;
    int root = 0;
};

// Built once per scan iteration into buffers that keep their capacity.
const GapTree& buildGapTree()
{
    static GapTree t;
    static std::vector<int> stack;
    const int n = static_cast<int>(Ltemp.size());
    t.gap.assign(static_cast<size_t>(std::max(n, 1)), 0);
    t.left.assign(t.gap.size(), 0);
    t.right.assign(t.gap.size(), 0);
    stack.clear();
    for (int j = 1; j < n; ++j) {
        t.gap[j] = Ltemp[j] - Ltemp[j - 1];
        int last = 0;
        while (!stack.empty() && t.gap[stack.back()] < t.gap[j]) {
            last = stack.back();
            stack.pop_back();
        }
        t.left[j] = last;
        if (!stack.empty())
            t.right[stack.back()] = j;
        stack.push_back(j);
    }
    t.root = stack.empty() ? 0 : stack.front();
    return t;
}

// span / steps, truncated; a 32-bit division where both fit (the common case,
// several times faster than a 64-bit one).
int64_t meanSpacing(int64_t span, int64_t steps)
{
    if (span >= 0 && span <= UINT32_MAX && steps <= UINT32_MAX)
        return static_cast<uint32_t>(span) / static_cast<uint32_t>(steps);
    return span / steps;
}

void addChunk(ChunkMeasures& cm, int64_t lo, int64_t hi, int64_t widestGap)
{
    StartL.push_back(static_cast<int>(lo));
    EndL.push_back(static_cast<int>(hi));
    cm.MedChunk.push_back(lo < hi ? meanSpacing(Ltemp[hi] - Ltemp[lo], hi - lo) : 0);
    cm.MaxChunk.push_back(lo < hi ? std::max<int64_t>(widestGap, 0) : 0);
}

// Nested cutting at the widest gap (leftmost on ties), keeping the larger
// side (the left one on equal sides), until one marker is left. Records each
// chunk's widest internal gap and mean spacing on the way.
void cutNested(ChunkMeasures& cm)
{
    const GapTree& t = buildGapTree();
    int64_t lo = 0;
    int64_t hi = static_cast<int64_t>(Ltemp.size()) - 1;
    int node = t.root;
    while (lo <= hi) {
        if (lo == hi) {
            addChunk(cm, lo, lo, 0);
            return;
        }
        if (t.gap[node] <= 0)
            return; // no positive gap: the working positions were not increasing
        if (2 * (node - lo) >= hi - lo + 1) {
            hi = node - 1;
            node = t.left[node];
        } else {
            lo = node;
            node = t.right[node];
        }
        addChunk(cm, lo, hi, t.gap[node]);
    }
}

// PvalL of every chunk, from the innermost outward: each chunk continues the
// running maximum from -999999999.9 over the markers cut off on its left,
// the next inner chunk's height, and the markers cut off on its right. That
// is the running maximum over the chunk in order, in O(n) for all chunks.
void chunkHeights()
{
    const int m = static_cast<int>(StartL.size());
    PvalL.assign(static_cast<size_t>(m), 0.0);
    const double* P = Ptemp.data();
    for (int k = m - 1; k >= 0; --k) {
        const int s = StartL[k], e = EndL[k];
        double r = -999999999.9;
        if (k == m - 1) {
            r = runningMax(r, P + s, P + e + 1);
        } else {
            r = runningMax(r, P + s, P + StartL[k + 1]);
            r = runningMax(r, &PvalL[k + 1], &PvalL[k + 1] + 1);
            r = runningMax(r, P + EndL[k + 1] + 1, P + e + 1);
        }
        PvalL[k] = r;
    }
}

bool chunkScored(const ChunkMeasures& cm, int item)
{
    // The two gap conditions first: they need no division and fail for
    // most chunks of a dense stretch.
    if (!(cm.MaxChunk[item] > 100 && cm.MedChunk[item] > 25))
        return false;
    const int s = StartL[item], e = EndL[item];
    const int64_t width = int64_t(Lvec[e]) - Lvec[s];
    const int64_t spacing = e > s ? width / (e - s) : 0;
    const double height = PvalL[item];
    return spacing < 50000 && static_cast<double>(width) / height < 250000 && static_cast<double>(spacing) > 1000.0 / height &&
           width < 3500000;
}

// First choice of the chunk from the two gap-shape scores.
int chooseChunk(const ChunkMeasures& cm)
{
    const int m = static_cast<int>(StartL.size());
    int maxitem = 0, maxitem2 = 0;
    double maxrat = 0.0, maxrat2 = 0.0;
    for (int item = m - 1; item >= 0; --item) {
        if (!chunkScored(cm, item))
            continue;
        double ratio = 0;
        if (item >= 1 && cm.MaxChunk[item - 1] > 0)
            ratio = static_cast<double>(cm.MaxChunk[item - 1] - cm.MaxChunk[item]) /
                    static_cast<double>(cm.MaxChunk[item - 1]);
        if (ratio > maxrat) {
            maxrat = ratio;
            maxitem = item;
        }
        const double contrast = static_cast<double>(cm.MaxChunk[item]) / static_cast<double>(cm.MedChunk[item]);
        if (contrast > maxrat2) {
            maxrat2 = contrast;
            maxitem2 = item;
        }
    }
    int report = maxitem2 + 1;
    if (maxitem + 2 < maxitem2)
        report = maxitem;
    if (maxitem == 0)
        report = m - 1;
    return std::min(report, m - 1);
}

// True when the walk should move inward from chunk report.
bool edgesLookLikeBackground(int report, double inflation, double cliplimit)
{
    const int s = StartL[report], e = EndL[report];
    double left, right;
    int64_t firstgap, spacing;
    if (s == e) {
        left = right = Ptemp[e];
        firstgap = static_cast<size_t>(e) + 1 < Ltemp.size() ? Ltemp[e + 1] - Ltemp[e] : 0;
        spacing = 0;
    } else {
        if (e - s == 1) {
            left = (Ptemp[s] + Ptemp[s + 1]) * 0.5;
            right = (Ptemp[e] + Ptemp[e - 1]) * 0.5;
        } else {
            left = (Ptemp[s] + Ptemp[s + 1] + Ptemp[s + 2]) / 3.0;
            right = (Ptemp[e] + Ptemp[e - 1] + Ptemp[e - 2]) / 3.0;
        }
        firstgap = Ltemp[s + 1] - Ltemp[s];
        spacing = (Ltemp[e] - Ltemp[s]) / (e - s);
    }
    const int64_t g = spacing * kGapPenalty;
    const int64_t G = 5 * g;
    return (left < cliplimit && right < cliplimit) || left < inflation ||
           (g < firstgap && left > static_cast<double>(g)) || G < firstgap || left > static_cast<double>(G);
}

// Steps back to wider chunks while the chosen one spans a reported peak.
int backOff(int report)
{
    bool needtoscan = true;
    while (report > 0 && needtoscan) {
        needtoscan = false;
        const int32_t left = Lvec[StartL[report]];
        const int32_t right = Lvec[EndL[report]];
        for (size_t j = 0; j < NoCrossL.size(); ++j) {
            if (NoCrossR[j] <= right && left <= NoCrossL[j]) {
                --report;
                needtoscan = true;
                break;
            }
        }
    }
    return report;
}

} // namespace

void buildChunks(ChunkMeasures& cm)
{
    cutNested(cm);
    chunkHeights();
}

int chooseReport(const ChunkMeasures& cm, double inflation)
{
    const int m = static_cast<int>(StartL.size());
    if (m == 0)
        return 0;
    int report = chooseChunk(cm);
    const double cliplimit = 0.75 - std::log10(inlimit);
    while (report < m - 1 && PvalL[report] > PeakThreshold && report > 0) {
        if (!edgesLookLikeBackground(report, inflation, cliplimit))
            break;
        ++report;
    }
    return backOff(report);
}

int splitAll(double inflation)
{
    StartL.clear();
    EndL.clear();
    PvalL.clear();
    ChunkMeasures cm;
    buildChunks(cm);
    return chooseReport(cm, inflation);
}

// ---------------------------------------------------------------------------
// Peak feature set and quality score

bool writePeakRow(int locL, int locR, const std::string& CHRentryOLD)
{
    DoubleVector Pcand = subVector1(Pvec, locL, locR, 2);
    IntVector Lcand = subVector2(Lvec, locL, locR, 2);
    DoubleVector Pcand_der1 = newDoubleVector(static_cast<int>(Pcand.size()), 0.0);
    Pcand_der1 = derivative(5, Lcand, Pcand, Pcand_der1);
    Pcand_der1 = samesign(Pcand_der1, 1);
    const double bestslope0 = minmax(Pcand_der1, 1);
    Pcand_der1 = twoArrays(Pcand_der1, Pcand, 4);
    const double bestslope = minmax(Pcand_der1, 1);
    Pcand = clipEnds1(Pcand, 2, 2);
    Lcand = clipEnds2(Lcand, 2, 2);
    if (Pcand.empty())
        return false;

    const int maxloc = minmaxloc(Pcand, 1);
    const double max = Pcand[maxloc];
    const int64_t range = int64_t(Lcand.back()) - Lcand.front();
    const int64_t rangecount = static_cast<int64_t>(Lcand.size());

    std::string row = Filename;
    row += '\t';
    row += CHRentryOLD;
    row += '\t' + std::to_string(Lvec[locL]) + '-' + std::to_string(Lvec[locR]);
    for (double x : {max, bestslope0, bestslope, monotony(Pcand, maxloc), peakmultiplicity(Pcand, max),
                     repetitions(Pcand), heighttowidth(Lcand, max)}) {
        row += '\t';
        appendReal(row, x);
    }
    row += '\t' + std::to_string(doKolmogorov(Lcand));
    row += '\t' + std::to_string(range) + '\t' + std::to_string(rangecount) + '\t';
    appendReal(row, static_cast<double>(range / rangecount));
    row += '\t' + skew(Pcand, maxloc) + '\t' + verticalBalance(Pcand) + '\t';
    appendReal(row, maxByMean(Pcand, maxloc));
    row += '\t';
    appendReal(row, GQS(max, bestslope));
    row += '\n';
    out_stream.write(row);
    return true;
}

double GQS(double max, double bestslope)
{
    static const double ic[4] = {-2.5384, -0.8389, 0.8185, 2.7255};
    max = (std::log(max) - 2.23) / 0.63;
    bestslope = (std::log(bestslope) + 3.89) / 2.37;
    const double max_bestslope = 1.69907 * max + 1.01537 * bestslope;
    double pLeq[4];
    for (int k = 0; k < 4; ++k) {
        const double logit = ic[k] - max_bestslope;
        pLeq[k] = 1 / (1 + std::exp(-logit));
    }
    const double p1 = pLeq[0];
    const double p2 = pLeq[1] - pLeq[0];
    const double p3 = pLeq[2] - pLeq[1];
    const double p4 = pLeq[3] - pLeq[2];
    const double p5 = 1 - pLeq[3];
    return (((2 * p2 + p1) + 3 * p3) + 4 * p4) + 5 * p5;
}
