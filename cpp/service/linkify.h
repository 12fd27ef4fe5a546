#pragma once

#include <QString>

// Turns the web addresses in a plain chat text into HTML anchors, for the
// conversation pane and for texts that QML shows as rich text.
//
// An address begins with a scheme and a colon ("https://", "tavri:"), with
// "www." (up to three digits may follow "www"), or with a domain-like name
// and a slash; it runs over characters other than white space, parentheses
// and angle brackets (balanced parentheses are allowed up to two levels) and
// never ends in punctuation, so a full stop after a link stays outside it.
// Addresses without a scheme of their own point to "http://" + the address.
// Quotes inside an address are percent-encoded in the href so that they
// cannot end the attribute. A text that already holds HTML ("<html" or an
// anchor start, in any case) is returned unchanged. A run of non-space
// characters longer than kMaxLinkLength is left as it is.
//
// Pure function; any thread.
QString linkify(const QString &text);

// The longest run of non-space characters that linkify looks into.
constexpr int kMaxLinkLength = 4096;
