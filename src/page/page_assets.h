// The style sheet and the scripts that the pages carry inline. Their text
// is in page/assets, made into these arrays at build time (embed.cmake).
#pragma once

namespace page {

// CSS: layout from phone to desktop width, tables that scroll in their own
// box, the interactive figures, and a print layout.
const char* pageStyle();

// JavaScript: sortable tables (every `table.sortable`), the status filter
// and lead id search of the loci table.
const char* pageScript();

// JavaScript: the interactive Manhattan view of a table's page, its search
// box and the cards, from the page's embedded view data.
const char* viewScript();

// JavaScript: the regional views, drawn from the embedded figure data.
const char* regionalScript();

// JavaScript: the index page's study-wide search.
const char* indexScript();

} // namespace page
