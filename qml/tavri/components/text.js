.pragma library

// Text helpers for the views that show other people's names and texts as
// styled or rich text: everything is escaped exactly once (an apostrophe
// needs no entity outside an attribute, and styled text knows none for it),
// and a search term is highlighted in the text as typed, never inside the
// markup or an entity.

function escapeHtml(text) {
    return String(text === undefined || text === null ? "" : text)
        .replace(/&/g, "&amp;").replace(/</g, "&lt;").replace(/>/g, "&gt;").replace(/"/g, "&quot;")
}

// The text, escaped, with every occurrence of term (compared without regard
// to case) in red. The term is matched against the text itself, so entities
// and pattern characters in either play no part.
function highlighted(text, term) {
    var plain = String(text === undefined || text === null ? "" : text)
    var wanted = String(term === undefined || term === null ? "" : term)
    if (wanted === "")
        return escapeHtml(plain)
    var lowerText = plain.toLowerCase()
    var lowerTerm = wanted.toLowerCase()
    // Lower-casing can change a text's length; then the places found in the
    // lower-case copy would not be the text's own, and nothing is marked.
    if (lowerText.length !== plain.length || lowerTerm.length !== wanted.length)
        return escapeHtml(plain)
    var out = ""
    var from = 0
    for (var at = lowerText.indexOf(lowerTerm); at >= 0; at = lowerText.indexOf(lowerTerm, from)) {
        out += escapeHtml(plain.substring(from, at))
        out += "<font color=\"red\">" + escapeHtml(plain.substring(at, at + wanted.length)) + "</font>"
        from = at + wanted.length
    }
    return out + escapeHtml(plain.substring(from))
}
