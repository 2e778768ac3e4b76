// A table's messages and the all-or-nothing commit of its outputs.
#include "cli/table_outcome.h"

#include <cstring>
#include <unistd.h>

void warn(TableOutcome& o, const std::string& table, const std::string& what)
{
    o.err += "quorlin: warning: " + table + ": " + what + "\n";
}

void stop(TableOutcome& o, const std::string& message, const std::string& reason)
{
    o.ok = false;
    o.out += message;
    o.err += "quorlin: " + reason + "\n";
}

void drop(TableOutcome& o)
{
    o.finished.clear(); // the temporary files go, the earlier files stay
    if (!o.madeFolder.empty())
        ::rmdir(o.madeFolder.c_str()); // only when nothing else is in it
    o.madeFolder.clear();
}

void publish(TableOutcome& o)
{
    if (!o.ok) {
        if (o.keepReport && !o.finished.empty() && !o.finished.front().commit())
            o.err += "quorlin: " + o.finished.front().path() + " could not be put in place: " +
                     std::strerror(o.finished.front().error()) + "\n";
        drop(o);
        return;
    }
    for (OutputFile& file : o.finished) {
        if (file.commit())
            continue;
        o.ok = false;
        o.out += "Output file could not be written\n";
        o.err += "quorlin: " + file.path() + " could not be put in place: " + std::strerror(file.error()) + "\n";
        break;
    }
    o.finished.clear(); // the outputs after a failed rename are dropped
}
