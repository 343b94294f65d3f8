#pragma once
// Bounded printf-style formatting. Formats come from language files that a player may edit,
// so arguments are typed: a conversion whose argument is missing or of another kind prints
// a harmless substitute instead of reading past the argument list.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>

namespace vendrel {

class FormatArg {
public:
    enum class Kind { Signed, Unsigned, Floating, Narrow, Wide };

    template <typename T>
    requires(std::is_integral_v<T> && !std::is_same_v<T, bool> && std::is_signed_v<T>)
        FormatArg(T value)
        : kind_(Kind::Signed), signed_(value) {}
    template <typename T>
    requires(std::is_integral_v<T> && !std::is_same_v<T, bool> && std::is_unsigned_v<T>)
        FormatArg(T value)
        : kind_(Kind::Unsigned), unsigned_(value) {}
    FormatArg(bool value) : kind_(Kind::Signed), signed_(value ? 1 : 0) {}
    FormatArg(double value) : kind_(Kind::Floating), floating_(value) {}
    FormatArg(const char* text) : kind_(Kind::Narrow), narrow_(text ? text : "") {}
    FormatArg(const std::string& text) : kind_(Kind::Narrow), narrow_(text) {}
    FormatArg(std::string_view text) : kind_(Kind::Narrow), narrow_(text) {}
    FormatArg(const char16_t* text) : kind_(Kind::Wide), wide_(text ? text : u"") {}
    FormatArg(const std::u16string& text) : kind_(Kind::Wide), wide_(text) {}
    FormatArg(std::u16string_view text) : kind_(Kind::Wide), wide_(text) {}

    Kind kind() const { return kind_; }
    std::int64_t asSigned() const;
    std::uint64_t asUnsigned() const;
    double asFloating() const;
    std::string_view narrow() const { return narrow_; }
    std::u16string_view wide() const { return wide_; }

private:
    Kind kind_;
    std::int64_t signed_ = 0;
    std::uint64_t unsigned_ = 0;
    double floating_ = 0;
    std::string_view narrow_;
    std::u16string_view wide_;
};

// Keeps at most size - 1 bytes, as snprintf into a buffer of size bytes does.
[[nodiscard]] std::string formatTextArgs(std::size_t size, std::string_view format,
                                         std::span<const FormatArg> args);
// Keeps at most size code units, as _vsnwprintf with a count of size does.
[[nodiscard]] std::u16string formatWideArgs(std::size_t size, std::u16string_view format,
                                            std::span<const FormatArg> args);

template <typename... Args>
[[nodiscard]] std::string formatText(std::size_t size, std::string_view format,
                                     const Args&... args) {
    const FormatArg list[] = {FormatArg(args)..., FormatArg(0)};
    return formatTextArgs(size, format, std::span(list, sizeof...(Args)));
}

template <typename... Args>
[[nodiscard]] std::u16string formatWide(std::size_t size, std::u16string_view format,
                                        const Args&... args) {
    const FormatArg list[] = {FormatArg(args)..., FormatArg(0)};
    return formatWideArgs(size, format, std::span(list, sizeof...(Args)));
}

} // namespace vendrel
