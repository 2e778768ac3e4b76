// The output options: the report, BED file, figure, loci (by distance or by
// LD) and page, the figures' settings and the list's study outputs.
#include "cli/option_reader.h"

#include "io/file_paths.h"
#include "io/number_parsing.h"
#include "plot/figure_render.h"
#include "report/number_format.h"

#include <cmath>

std::string outputBase(const std::string& table, const std::string& outdir)
{
    return outdir.empty() ? table : outdir + "/" + fileNameOf(table);
}

// An extra output file: in list mode only "yes" (each table's file beside its
// report), else a path ("yes": the table's path + extension).
bool OptionReader::extraOutput(const char* word, const char* message, const char* extension, bool& wanted,
                               std::string& path)
{
    const std::string* v = value(word);
    if (!v || *v == "no")
        return true;
    wanted = true;
    if (out_.listMode) {
        if (*v == "yes")
            return true;
        return fail(message, std::string("in list mode ") + word + " takes 'yes': each table's file is written "
                                 "beside its report as TABLE" + extension);
    }
    path = *v == "yes" ? outputBase(out_.table, out_.outdir) + extension : *v;
    if (path.empty() || path == out_.reportPath || (path == out_.bedPath && &path != &out_.bedPath))
        return fail(message, std::string("the ") + word + " file must have a name of its own, not " + quoted(path));
    return true;
}

// The figure's file: its extension, when it has one, names a format the
// figure is drawn in, so that no file gets contents its name belies.
bool OptionReader::plotOutput()
{
    if (!extraOutput("-plot", "Incorrect plot\n", ".svg", out_.plot, out_.plotPath))
        return false;
    if (const std::string* v = value("-plot-format")) {
        FigureFormat format;
        if (!figureFormatOfWord(QString::fromStdString(*v), &format))
            return fail("Incorrect plot_format\n", "-plot-format " + quoted(*v) + " must be svg, png or pdf");
        out_.plotFormat = QString::fromStdString(*v).toLower().toStdString();
        if (!out_.listMode && out_.plot && *value("-plot") == "yes")
            out_.plotPath = outputBase(out_.table, out_.outdir) + "." + out_.plotFormat;
        if (!value("-regional-format"))
            out_.regionalFormat = out_.plotFormat;
    }
    if (out_.plotPath.empty())
        return true;
    const QString path = QString::fromStdString(out_.plotPath);
    const qsizetype dot = path.lastIndexOf(QLatin1Char('.'));
    const bool hasExtension = dot >= 0 && path.indexOf(QLatin1Char('/'), dot) < 0;
    FigureFormat format;
    if (hasExtension && !figureFormatOfPath(path, &format))
        return fail("Incorrect plot\n", "the -plot file " + quoted(out_.plotPath) +
                                             " must end in .svg, .png or .pdf (the figure's format)");
    return true;
}

bool OptionReader::outputs()
{
    return extraOutput("-bed", "Incorrect bed\n", ".bed", out_.bed, out_.bedPath) && plotOutput() &&
           lociOutput() &&
           extraOutput("-loci-members", "Incorrect loci_members\n", ".loci.members.tsv", out_.lociMembers,
                       out_.lociMembersPath) &&
           extraOutput("-html", "Incorrect html\n", ".html", out_.html, out_.htmlPath);
}

// -loci, or "-loci yes" where only -loci-ld is given.
bool OptionReader::lociOutput()
{
    if (value("-loci") || !value("-loci-ld"))
        return extraOutput("-loci", "Incorrect loci\n", ".loci.tsv", out_.loci, out_.lociPath);
    out_.loci = true;
    if (!out_.listMode)
        out_.lociPath = outputBase(out_.table, out_.outdir) + ".loci.tsv";
    return true;
}

bool OptionReader::lociLd()
{
    const std::string* panel = value("-loci-ld");
    if (!panel) {
        for (const char* word : {"-loci-r2", "-loci-p2", "-loci-ld-samples", "-loci-members"})
            if (value(word))
                errors_ += std::string("quorlin: warning: ") + word + " is used with -loci-ld only\n";
        out_.lociMembers = false;
        out_.lociMembersPath.clear();
        return true;
    }
    if (panel->empty())
        return fail("Incorrect loci_ld\n", "-loci-ld needs a PLINK fileset (its prefix or .bed)");
    out_.ldPanel = *panel;
    if (const std::string* v = value("-loci-r2")) {
        bool ok = false;
        const double r2 = toDouble(*v, &ok);
        if (!ok || !(r2 > 0 && r2 <= 1))
            return fail("Incorrect loci_r2\n", "-loci-r2 " + quoted(*v) + " must be a number above 0 and at most 1");
        out_.lociR2 = r2;
    }
    out_.lociP2 = out_.layout.lociThreshold;
    if (const std::string* v = value("-loci-p2")) {
        bool ok = false;
        const double p2 = toDouble(*v, &ok);
        if (!ok || !(p2 > 0 && p2 <= 1) || p2 < out_.layout.lociThreshold)
            return fail("Incorrect loci_p2\n", "-loci-p2 " + quoted(*v) +
                                                   " must be a number at most 1 and not below -loci-p (" +
                                                   formatReal(out_.layout.lociThreshold) + ")");
        out_.lociP2 = p2;
    }
    out_.layout.lociMemberThreshold = out_.lociP2;
    if (const std::string* v = value("-loci-ld-samples")) {
        if (v->empty())
            return fail("Incorrect loci_ld\n", "-loci-ld-samples needs a file of sample ids");
        out_.ldSamples = *v;
    }
    return true;
}

bool OptionReader::loci()
{
    if (const std::string* v = value("-loci-p")) {
        bool ok = false;
        const double p = toDouble(*v, &ok);
        if (!ok || !(p > 0 && p <= 1))
            return fail("Incorrect loci_p\n", "-loci-p " + quoted(*v) + " must be a number above 0 and at most 1");
        out_.layout.lociThreshold = p;
    }
    if (const std::string* v = value("-loci-window")) {
        bool ok = false;
        const int32_t w = toInt32(*v, &ok);
        if (!ok || w < 0)
            return fail("Incorrect loci_window\n",
                        "-loci-window " + quoted(*v) + " must be a whole number of base pairs, 0 or more");
        out_.lociWindow = w;
    }
    if (const std::string* v = value("-carry")) {
        out_.columns.carry = parseCarryRequest(*v);
        if (!out_.columns.carry->none) {
            if (out_.layout.headerLines == 0 && !out_.columns.preset &&
                std::any_of(out_.columns.carry->columns.begin(), out_.columns.carry->columns.end(),
                            [](const ColumnChoice& c) { return c.byName; }))
                return fail("Incorrect carry\n", "-carry " + quoted(*v) + " names columns; names need -header yes");
            out_.columnsByName = true; // carried columns take their names from each table's header
        }
    }
    if (const std::string* v = value("-genes")) {
        if (v->empty())
            return fail("Incorrect genes\n", "-genes needs a GTF, GFF3 or BED file of genes");
        out_.genesPath = *v;
    }
    if (const std::string* v = value("-gene-types")) {
        std::string why;
        if (!parseGeneTypes(*v, out_.geneTypes, why))
            return fail("Incorrect gene_types\n", "-gene-types " + quoted(*v) + ": " + why);
    }
    return true;
}

bool OptionReader::figures()
{
    if (const std::string* v = value("-plot-title"))
        out_.plotTitle = *v;
    if (const std::string* v = value("-plot-size")) {
        QSize size;
        if (!parseFigureSize(QString::fromStdString(*v), &size))
            return fail("Incorrect plot_size\n", "-plot-size " + quoted(*v) + " must be WIDTHxHEIGHT in pixels, from " +
                                                      std::to_string(kMinFigureSize.width()) + "x" +
                                                      std::to_string(kMinFigureSize.height()) + " to " +
                                                      std::to_string(kMaxFigureSide) + " each way");
        out_.plotWidth = size.width();
        out_.plotHeight = size.height();
    }
    if (const std::string* v = value("-plot-ybreak")) {
        bool ok = false;
        const double at = *v == "auto" ? -1 : *v == "no" ? 0 : toDouble(*v, &ok);
        if (*v != "auto" && *v != "no" && (!ok || !(at > 0) || !std::isfinite(at)))
            return fail("Incorrect plot_ybreak\n", "-plot-ybreak " + quoted(*v) +
                                                         " must be auto, no or a -log10 p value above 0");
        out_.plotYBreak = at;
    }
    if (const std::string* v = value("-regional-format")) {
        FigureFormat format;
        if (!figureFormatOfWord(QString::fromStdString(*v), &format))
            return fail("Incorrect regional_format\n", "-regional-format " + quoted(*v) + " must be svg, png or pdf");
        out_.regionalFormat = *v;
    }
    // Repeatable: the words come in (option, value) pairs.
    for (size_t k = 0; k + 1 < words_.size(); k += 2) {
        if (words_[k] != "-regional-ld-ref")
            continue;
        if (words_[k + 1].empty())
            return fail("Incorrect regional_ld_ref\n", "-regional-ld-ref needs a variant id");
        out_.regionalLdRefs.push_back(words_[k + 1]);
    }
    if (!out_.regionalLdRefs.empty() && !value("-loci-ld"))
        errors_ += "quorlin: warning: -regional-ld-ref has no effect without -loci-ld (the r\u00b2 come from its "
                   "panel)\n";
    if (const std::string* v = value("-regional")) {
        if (out_.listMode && *v != "yes")
            return fail("Incorrect regional\n", "in list mode -regional takes 'yes': each table's figures go to "
                                                 "the folder TABLE.regional beside its report");
        if (v->empty())
            return fail("Incorrect regional\n", "-regional needs a folder");
        out_.regionalDir = *v == "yes" ? outputBase(out_.table, out_.outdir) + ".regional" : *v;
    }
    return true;
}

bool OptionReader::study()
{
    return yesNo("-keep-going", "Incorrect keep_going\n", out_.keepGoing);
}

bool rendersRasterFigures(const RunOptions& options)
{
    FigureFormat plot = FigureFormat::Svg, regional = FigureFormat::Svg;
    if (options.listMode) {
        if (options.plot)
            figureFormatOfWord(QString::fromStdString(options.plotFormat), &plot);
    } else {
        figureFormatOfPath(QString::fromStdString(options.plotPath), &plot);
    }
    figureFormatOfWord(QString::fromStdString(options.regionalFormat), &regional);
    return plot != FigureFormat::Svg || (!options.regionalDir.empty() && regional != FigureFormat::Svg);
}
