// Opening a panel and naming its files.
#include "ld/ld_panel.h"

#include "genes/gene_index.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_map>

namespace {

constexpr const char* kChromWord = "{chrom}";

std::string replaced(const std::string& panelName, const std::string& name)
{
    std::string out = panelName;
    for (size_t at = out.find(kChromWord); at != std::string::npos; at = out.find(kChromWord, at + name.size()))
        out.replace(at, std::strlen(kChromWord), name);
    return out;
}

bool exists(const std::string& path)
{
    struct stat st {};
    return stat(path.c_str(), &st) == 0;
}

// The file whose presence makes a panel: a VCF/BCF itself, else the .bed.
std::string bedOf(const std::string& panel)
{
    if (isVcfPath(panel))
        return panel;
    std::string bed, bim, fam;
    plinkPaths(panel, bed, bim, fam);
    return bed;
}

// The names a per-chromosome panel is looked for under: 1-22, X, Y, XY,
// MT and M, each as written and with "chr" before it.
std::vector<std::string> usualNames()
{
    std::vector<std::string> names;
    for (int k = 1; k <= 22; ++k)
        names.push_back(std::to_string(k));
    for (const char* n : {"X", "Y", "XY", "MT", "M"})
        names.push_back(n);
    const size_t plain = names.size();
    for (size_t k = 0; k < plain; ++k)
        names.push_back("chr" + names[k]);
    return names;
}

bool openPart(const std::string& path, const std::string& key, const std::string& samplesFile, PanelPart& part,
              size_t& unknown, std::string& why)
{
    part.key = key;
    part.vcf = isVcfPath(path);
    const bool opened = part.vcf ? openVcfPanel(path, part.vcfFile, part.set.sampleIds, why)
                                 : openPlinkFileset(path, part.set, why);
    return opened && selectSamples(part.set, samplesFile, part.chosen, unknown, why);
}

} // namespace

bool openLdPanel(const std::string& panelName, const std::string& samplesFile, LdPanel& panel, std::string& why,
                 std::string& warnings)
{
    panel = LdPanel();
    panel.name = panelName;
    panel.perChromosome = panelName.find(kChromWord) != std::string::npos;
    size_t unknown = 0;
    if (!panel.perChromosome) {
        panel.parts.emplace_back();
        if (!openPart(panelName, "", samplesFile, panel.parts.back(), unknown, why))
            return false;
    } else {
        std::vector<std::string> keys;
        for (const std::string& name : usualNames()) {
            const std::string path = replaced(panelName, name);
            const std::string key = chromosomeKey(name);
            if (!exists(bedOf(path)) || std::find(keys.begin(), keys.end(), key) != keys.end())
                continue;
            keys.push_back(key);
            panel.parts.emplace_back();
            size_t partUnknown = 0;
            if (!openPart(path, key, samplesFile, panel.parts.back(), partUnknown, why))
                return false;
            unknown = std::max(unknown, partUnknown);
        }
        if (panel.parts.empty()) {
            why = "no chromosome's file exists for '" + panelName + "' (tried " + bedOf(replaced(panelName, "1")) + ", " +
                  bedOf(replaced(panelName, "chr1")) + " and the other usual names)";
            return false;
        }
    }
    if (unknown > 0)
        warnings += "quorlin: warning: -loci-ld-samples '" + samplesFile + "': " + std::to_string(unknown) +
                    " sample ids are not in the panel\n";
    return true;
}

std::vector<std::string> ldPanelFiles(const LdPanel& panel)
{
    std::vector<std::string> files;
    for (const PanelPart& p : panel.parts) {
        if (p.vcf) {
            files.push_back(p.vcfFile.path);
            files.insert(files.end(), p.vcfFile.indexFiles.begin(), p.vcfFile.indexFiles.end());
        } else {
            for (const std::string* f : {&p.set.bedPath, &p.set.bimPath, &p.set.famPath})
                files.push_back(*f);
        }
    }
    return files;
}

std::vector<std::string> ldPanelFiles(const std::string& panelName)
{
    std::vector<std::string> files;
    auto add = [&](const std::string& panel) {
        if (isVcfPath(panel)) {
            files.push_back(panel);
            for (const char* ext : {".tbi", ".csi"})
                if (exists(panel + ext))
                    files.push_back(panel + ext);
            return;
        }
        std::string bed, bim, fam;
        plinkPaths(panel, bed, bim, fam);
        files.insert(files.end(), {bed, bim, fam});
    };
    if (panelName.find(kChromWord) == std::string::npos)
        add(panelName);
    else
        for (const std::string& name : usualNames())
            if (exists(bedOf(replaced(panelName, name))))
                add(replaced(panelName, name));
    return files;
}

