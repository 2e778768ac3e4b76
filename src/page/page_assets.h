// The style sheet and the script that every page carries inline.
#pragma once

namespace page {

// CSS: layout from phone to desktop width, horizontally scrolling tables,
// a figure that scales to the width, and a print layout.
const char* pageStyle();

// JavaScript: sortable tables (every `table.sortable`), the status filter
// and lead id search of the loci table, and the regional figure under a row.
const char* pageScript();

} // namespace page
