// TKrXmlSearchPathPredicate: a path of tag steps with attribute conditions for finding DOM tags.
#pragma once

#include "Core/KrExport.h"

#include <cstddef>
#include <string>
#include <vector>

class TKrXmlTagItem;

/// An ordered list of steps; each step names a tag (empty: any tag) and lists attribute
/// conditions that all must hold. Two text forms build it:
///
/// - native: steps "<name cond cond>" one after another, optional white space between them;
///   "<>" is any tag. A condition is `attr` (must exist), `attr="value"` or `attr='value'`
///   (must have that value; the value is unescaped), either prefixed by '!' to negate it.
/// - XPath-like: steps joined by '/', each a name or '*', followed by conditions "[@a]",
///   "[@a=\"v\"]" (or '\'' quotes), "[not(@a)]", "[not(@a=\"v\")]"; values are unescaped and
///   white space is allowed between the tokens inside brackets.
///
/// Parsing costs one pass over the text; a malformed text throws a literal TKrMessage naming
/// the byte position.
class KRSTD_API TKrXmlSearchPathPredicate {
public:
    /// Flag bits of a condition.
    enum : unsigned { condNegated = 1, condValue = 2 };
    /// Results of Test.
    enum : int { testLast = 0, testNoMatch = 1, testMore = 2 };
    /// Path types of the constructor and Init(type, ...).
    enum : int { pathNative = 0, pathXPath = 1 };

    struct TCondition {
        unsigned flags = 0;
        std::string name;
        std::string value;
    };
    struct TStep {
        std::string name; ///< empty: any tag
        std::vector<TCondition> conditions;
    };

    /// No steps: matches nothing.
    TKrXmlSearchPathPredicate() = default;
    /// Native syntax.
    TKrXmlSearchPathPredicate(const char* text, std::size_t length);
    explicit TKrXmlSearchPathPredicate(const std::string& text);
    /// `pathType` pathNative or pathXPath; any other value throws
    /// "@TKrXmlTagSearchPath: invalid path type (\"%2%\")." with the text and the type.
    TKrXmlSearchPathPredicate(int pathType, const char* text, std::size_t length);
    TKrXmlSearchPathPredicate(int pathType, const std::string& text);

    /// Replaces the steps by the native text; throws
    /// "@TKrXmlTagSearchPath format error at pos %1% (data=\"%2%\")." (position, text).
    void Init(const char* text, std::size_t length);
    /// Replaces the steps by the XPath-like text; throws
    /// "@TKrXmlTagSearchPath[xpath~] format error %1% at pos %2% (data=\"%3%\")." (what was
    /// wrong, position, text).
    void InitXPath(const char* text, std::size_t length);
    /// By path type, as the constructor.
    void Init(int pathType, const char* text, std::size_t length);

    /// testNoMatch when `step` is past the last step, the step's name differs from the tag's or
    /// a condition fails; otherwise testLast for the last step and testMore when steps follow.
    int Test(const TKrXmlTagItem& tag, std::size_t step) const;

    /// Steps from..to-1 in the XPath-like form ("(none)" for an empty range); values are written
    /// with '&' and '"' escaped so that the text parses back to the same steps.
    std::string error_mask_name(std::size_t from, std::size_t to) const;
    /// All steps in the XPath-like form.
    std::string str() const { return error_mask_name(0, m_steps.size()); }

    const std::vector<TStep>& Steps() const noexcept { return m_steps; }
    std::vector<TStep>& Steps() noexcept { return m_steps; }
    std::size_t size() const noexcept { return m_steps.size(); }
    bool empty() const noexcept { return m_steps.empty(); }

private:
    std::vector<TStep> m_steps;
};
