// clrmamepro's text format: blocks `word ( ... )` holding `field value` pairs and blocks of
// their own. A value is a bare word or a quoted string. No library reads it, hence this small
// tokenizer; it never recurses, so no nesting exhausts the stack.
#include "base/NumberFormat.h"
#include "dat/RomFields.h"

#include <optional>
#include <string_view>
#include <utility>

namespace quillet {

namespace {

enum class TokenKind { Open, Close, Word, Quoted, End };

struct Token {
    TokenKind kind = TokenKind::End;
    std::string text; // the word, or the quoted string without its quotes and escapes
    std::uint64_t line = 0;
};

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v';
}

class Tokenizer {
public:
    explicit Tokenizer(std::string_view document) : text_(document) {}

    const Token& Peek() {
        if (!peeked_) {
            peeked_ = Read();
        }
        return *peeked_;
    }

    Token Next() {
        Peek();
        Token token = std::move(*peeked_);
        peeked_.reset();
        return token;
    }

private:
    Token Read() {
        while (at_ < text_.size() && IsSpace(text_[at_])) {
            if (text_[at_] == '\n')
                ++line_;
            ++at_;
        }
        Token token;
        // The end is where the last thing was, not past the file's last line end.
        token.line = at_ == text_.size() ? lastLine_ : line_;
        if (at_ == text_.size())
            return token;
        lastLine_ = line_;
        const char c = text_[at_];
        if (c == '(' || c == ')') {
            token.kind = c == '(' ? TokenKind::Open : TokenKind::Close;
            ++at_;
            return token;
        }
        if (c == '"')
            return Quoted(std::move(token));
        const std::size_t start = at_;
        while (at_ < text_.size() && !IsSpace(text_[at_]) && text_[at_] != '(' &&
               text_[at_] != ')' && text_[at_] != '"')
            ++at_;
        token.kind = TokenKind::Word;
        token.text = text_.substr(start, at_ - start);
        return token;
    }

    // Backslash escapes only a quote or a backslash: any other one is part of the name, as
    // in a Windows path.
    Token Quoted(Token token) {
        token.kind = TokenKind::Quoted;
        ++at_;
        for (;;) {
            const std::size_t stop = text_.find_first_of("\"\\\n", at_);
            if (stop == std::string_view::npos)
                throw DatProblem{token.line, "a quoted string that never ends: cut off?"};
            token.text.append(text_.substr(at_, stop - at_));
            at_ = stop + 1;
            const char c = text_[stop];
            if (c == '"')
                return token;
            if (c == '\n') {
                ++line_;
                token.text += c;
            } else if (at_ < text_.size() && (text_[at_] == '"' || text_[at_] == '\\')) {
                token.text += text_[at_++];
            } else {
                token.text += c;
            }
        }
    }

    std::string_view text_;
    std::size_t at_ = 0;
    std::uint64_t line_ = 1;
    std::uint64_t lastLine_ = 1;
    std::optional<Token> peeked_;
};

std::string Line(std::uint64_t line) {
    return "line " + FormatDecimal(static_cast<std::int64_t>(line));
}

// A word or string as a message quotes it: the start of it, where a file of any bytes may make
// it as long as the file.
std::string Short(const std::string& text) {
    constexpr std::size_t kLongest = 60;
    return text.size() <= kLongest ? text : text.substr(0, kLongest) + "...";
}

std::string Quote(const std::string& text) {
    return "\"" + Short(text) + "\"";
}

std::string Describe(const Token& token) {
    switch (token.kind) {
    case TokenKind::Open:
        return "'('";
    case TokenKind::Close:
        return "')'";
    case TokenKind::Word:
        return Quote(token.text);
    case TokenKind::Quoted:
        return "the quoted string " + Quote(token.text);
    case TokenKind::End:
        break;
    }
    return "the end of the file";
}

// Blocks that only stand at the top: one of them inside another means a ')' went missing.
bool IsTopBlock(std::string_view word) {
    return word == "clrmamepro" || word == "game" || word == "machine" || word == "resource";
}

bool IsGame(std::string_view word) {
    return word == "game" || word == "machine" || word == "resource";
}

struct Block {
    std::string kind;
    std::uint64_t line = 0;
};

class Parser {
public:
    explicit Parser(std::string_view document) : tokens_(document) {}

    std::vector<DatRom> Read() {
        for (;;) {
            Token name = tokens_.Next();
            if (name.kind == TokenKind::End)
                return std::move(roms_);
            if (name.kind != TokenKind::Word)
                throw DatProblem{name.line,
                                 "a block such as game ( ... ) expected, found " + Describe(name)};
            const Block block{name.text, name.line};
            Open(block);
            if (IsGame(block.kind))
                Game(block);
            else
                Skip(block);
        }
    }

private:
    void Open(const Block& block) {
        const Token open = tokens_.Next();
        if (open.kind != TokenKind::Open)
            throw DatProblem{open.line, "'(' expected after " + Quote(block.kind) + ", found " +
                                            Describe(open)};
    }

    [[noreturn]] void Unclosed(const Block& block, const Token& found) const {
        if (found.kind == TokenKind::End)
            throw DatProblem{found.line, "')' expected, but the file ends inside the " +
                                             Short(block.kind) + " of " + Line(block.line) +
                                             ": cut off?"};
        throw DatProblem{found.line, "')' expected to close the " + Short(block.kind) + " of " +
                                         Line(block.line) + " before " + Describe(found)};
    }

    // The next field's name, or nothing at the block's ')'.
    std::optional<Token> Field(const Block& block) {
        Token token = tokens_.Next();
        if (token.kind == TokenKind::Close)
            return std::nullopt;
        if (token.kind == TokenKind::End)
            Unclosed(block, token);
        if (token.kind != TokenKind::Word)
            throw DatProblem{token.line, "a field name expected in the " + Short(block.kind) +
                                             " of " + Line(block.line) + ", found " +
                                             Describe(token)};
        if (tokens_.Peek().kind == TokenKind::Open && IsTopBlock(token.text))
            Unclosed(block, token);
        return token;
    }

    // A field's value: a word or a quoted string.
    DatField Value(const Token& field) {
        Token value = tokens_.Next();
        if (value.kind != TokenKind::Word && value.kind != TokenKind::Quoted)
            throw DatProblem{value.line, "a value expected after " + Quote(field.text) +
                                             ", found " + Describe(value)};
        return {std::move(value.text), value.line};
    }

    void Game(const Block& game) {
        std::string name;
        bool named = false;
        std::vector<RawRom> roms;
        while (const std::optional<Token> field = Field(game)) {
            if (tokens_.Peek().kind == TokenKind::Open) {
                const Block inner{field->text, field->line};
                Open(inner);
                if (inner.kind == "rom")
                    roms.push_back(Rom(inner));
                else
                    Skip(inner);
            } else if (field->text == "name") {
                name = Value(*field).value;
                named = true;
            } else {
                Value(*field);
            }
        }
        if (!named)
            throw DatProblem{game.line, "a " + game.kind + " without a name"};
        for (const RawRom& rom : roms)
            roms_.push_back(MakeRom(rom, name));
    }

    RawRom Rom(const Block& block) {
        RawRom rom;
        rom.line = block.line;
        while (const std::optional<Token> field = Field(block)) {
            if (tokens_.Peek().kind == TokenKind::Open) {
                const Block inner{field->text, field->line};
                Open(inner);
                Skip(inner);
                continue;
            }
            DatField value = Value(*field);
            const std::string& key = field->text;
            if (key == "name")
                rom.name = std::move(value.value);
            else if (key == "size")
                rom.size = std::move(value);
            else if (key == "crc")
                rom.crc = std::move(value);
            else if (key == "sha1")
                rom.sha1 = std::move(value);
            else if (key == "sha256")
                rom.sha256 = std::move(value);
            else if (key == "flags" && value.value == "baddump")
                rom.badDump = true;
        }
        return rom;
    }

    // A block of no interest, after its '(': whatever it holds, up to its ')'.
    void Skip(const Block& block) {
        std::vector<Block> open{block};
        while (!open.empty()) {
            Token token = tokens_.Next();
            switch (token.kind) {
            case TokenKind::Close:
                open.pop_back();
                break;
            case TokenKind::End:
                Unclosed(open.back(), token);
            case TokenKind::Open:
                open.push_back({"block", token.line});
                break;
            case TokenKind::Word:
                if (tokens_.Peek().kind == TokenKind::Open) {
                    if (IsTopBlock(token.text))
                        Unclosed(open.back(), token);
                    tokens_.Next();
                    open.push_back({std::move(token.text), token.line});
                }
                break;
            case TokenKind::Quoted:
                break;
            }
        }
    }

    Tokenizer tokens_;
    std::vector<DatRom> roms_;
};

} // namespace

std::vector<DatRom> ReadClrmameproRoms(std::string_view document) {
    return Parser(document).Read();
}

} // namespace quillet
