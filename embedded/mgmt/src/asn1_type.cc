#include "nxmp/asn1_type.h"

#include <climits>
#include <cstring>
#include <vector>

#include "metadata.h"
#include "nxmp/oid.h"

using nxmp_meta::Field;
using nxmp_meta::Kind;
using nxmp_meta::TypeDef;

namespace {

constexpr int MAX_PARSE_DEPTH = 64;
const char HEX[] = "0123456789ABCDEF";

void append_hex(std::string& out, std::string_view bytes) {
  out.push_back('\'');
  for (unsigned char b : bytes) {
    out.push_back(HEX[b >> 4]);
    out.push_back(HEX[b & 15]);
  }
  out += "'H";
}

void append_quoted(std::string& out, std::string_view text) {
  out.push_back('"');
  for (char c : text) {
    if (c == '"') out.push_back('"');
    out.push_back(c);
  }
  out.push_back('"');
}

std::string_view encoding_view(const DataUnit& d) { return d.view(); }

// The tag a value of t carries when t is used without a tag of its own;
// 0 for CHOICE and ANY, whose values carry their alternative's tag.
bool carries_tag(const TypeDef* t, Asn1Tag tag) {
  if (t->kind == Kind::Any) return true;
  if (t->kind != Kind::Choice) return t->tag == tag;
  for (const Field& f : t->fields) {
    if (f.tag ? f.tag == tag : carries_tag(f.type, tag)) return true;
  }
  return false;
}

bool field_matches(const Field& f, Asn1Tag tag) { return f.tag ? f.tag == tag : carries_tag(f.type, tag); }

const TypeDef* open_type(const Asn1Value& key) {
  const Oid oid = Oid::from_value(key);
  if (oid.empty()) return nullptr;
  const nxmp_meta::Entry* e = nxmp_meta::find(oid);
  return e ? e->type : nullptr;
}

bool oid_name(const Oid& oid, std::string& name) { return OidNameRegistry::reg_o2n(oid, name); }

bool name_oid(std::string_view name, Oid& oid) {
  if (OidNameRegistry::reg_n2o(name, oid)) return true;
  const nxmp_meta::Entry* e = nxmp_meta::find(name);
  if (!e) return false;
  oid = e->oid;
  return true;
}

// ---- formatting ----

class Formatter {
 public:
  explicit Formatter(int max_depth) : max_depth_(max_depth) {}
  std::string out;
  bool ok = true;

  // A value of t; with check_tag false its outer tag is an implicit one.
  void value(const TypeDef* t, const Asn1Value& v, int level, bool check_tag) {
    if (!t || v.is_null()) return fail(v);
    if (level > max_depth_) return fail(v);
    if (check_tag && t->kind != Kind::Choice && t->kind != Kind::Any && v.tag() != t->tag) return fail(v);
    switch (t->kind) {
      case Kind::Boolean: {
        bool b = false;
        if (!v.decode_bool(b)) return fail(v);
        out += b ? "TRUE" : "FALSE";
        return;
      }
      case Kind::Integer:
      case Kind::Enumerated: {
        long n = 0;
        if (!v.decode_int(n)) return fail(v);
        for (const auto& nn : t->names) {
          if (nn.value == n) {
            out += nn.name;
            return;
          }
        }
        out += std::to_string(n);
        return;
      }
      case Kind::Null:
        if (v.constructed() || v.encoded_size() == 0 || !v.content().empty()) return fail(v);
        out += "NULL";
        return;
      case Kind::Text:
      case Kind::Octets: {
        std::string bytes;
        if (!v.decode_octets(bytes)) return fail(v);
        if (t->kind == Kind::Text) {
          append_quoted(out, bytes);
        } else {
          append_hex(out, bytes);
        }
        return;
      }
      case Kind::Oid: {
        const Oid oid = Oid::from_value(v);
        if (oid.empty()) return fail(v);
        std::string name;
        if (oid_name(oid, name)) {
          out += name;
        } else {
          out += "{ " + oid_dot2space(oid.dotted()) + " }";
        }
        return;
      }
      case Kind::Sequence:
        return sequence(t, v, level);
      case Kind::SetOf:
        return set_of(t, v, level);
      case Kind::Choice: {
        for (const Field& f : t->fields) {
          if (field_matches(f, v.tag())) {
            out += f.name;
            out += " : ";
            return field(f, v, level, nullptr);
          }
        }
        return fail(v);
      }
      case Kind::Any:
        return fail(v);  // an open type without its key
    }
  }

 private:
  void fail(const Asn1Value& v) {
    ok = false;
    append_hex(out, encoding_view(v.encoding()));
  }

  // A component for field f; open types resolved through key.
  void field(const Field& f, const Asn1Value& v, int level, const Asn1Value* key) {
    Asn1Value inner = v;
    bool check = true;
    if (nxmp_meta::explicit_tagging(f)) {
      if (!v.constructed() || v.num_comps() != 1) return fail(v);
      inner = v.tagged_component();
    } else if (f.tag) {
      check = false;
    }
    if (f.type->kind == Kind::Any) {
      const TypeDef* real = key ? open_type(*key) : nullptr;
      if (!real) {  // unknown type: the whole encoding, which parses back
        append_hex(out, encoding_view(inner.encoding()));
        return;
      }
      Formatter sub(max_depth_ - level);
      sub.value(real, inner, 0, true);
      if (!sub.ok) {  // keep the bytes rather than a half-typed text
        append_hex(out, encoding_view(inner.encoding()));
        return;
      }
      reindent(sub.out, level);
      return;
    }
    value(f.type, inner, level, check);
  }

  // Indents a nested text's lines; line breaks inside quoted strings are
  // part of the value and stay as they are.
  void reindent(const std::string& text, int level) {
    bool quoted = false;
    for (char c : text) {
      out.push_back(c);
      if (c == '"') quoted = !quoted;
      if (c == '\n' && !quoted) out.append(level, '\t');
    }
  }

  void sequence(const TypeDef* t, const Asn1Value& v, int level) {
    if (!v.constructed()) return fail(v);
    std::vector<std::pair<const Field*, Asn1Value>> parts;
    std::size_t fi = 0;
    for (Asn1Value c = v.first_component(); c; c = c.next_component()) {
      while (fi < t->fields.size() && !field_matches(t->fields[fi], c.tag())) {
        if (!t->fields[fi].optional) return fail(v);
        ++fi;
      }
      if (fi == t->fields.size()) return fail(v);
      parts.emplace_back(&t->fields[fi], c);
      ++fi;
    }
    for (; fi < t->fields.size(); ++fi)
      if (!t->fields[fi].optional) return fail(v);
    if (parts.empty()) {
      out += "{ }";
      return;
    }
    out += "{\n";
    for (std::size_t i = 0; i < parts.size(); ++i) {
      const Field& f = *parts[i].first;
      const Asn1Value* key = nullptr;
      if (f.type->kind == Kind::Any && f.type->defined_by) {
        for (const auto& p : parts)
          if (std::strcmp(p.first->name, f.type->defined_by) == 0) key = &p.second;
      }
      out.append(level + 1, '\t');
      out += f.name;
      out.push_back(' ');
      field(f, parts[i].second, level + 1, key);
      if (i + 1 < parts.size()) out.push_back(',');
      out.push_back('\n');
    }
    out.append(level, '\t');
    out.push_back('}');
  }

  void set_of(const TypeDef* t, const Asn1Value& v, int level) {
    if (!v.constructed()) return fail(v);
    if (!v.first_component()) {
      out += "{ }";
      return;
    }
    out += "{\n";
    for (Asn1Value c = v.first_component(); c; c = c.next_component()) {
      out.append(level + 1, '\t');
      value(t->element, c, level + 1, true);
      if (c.next_component()) out.push_back(',');
      out.push_back('\n');
    }
    out.append(level, '\t');
    out.push_back('}');
  }

  int max_depth_;
};

// ---- parsing ----

class Parser {
 public:
  explicit Parser(std::string_view text) : s_(text) {}

  Asn1Value top(const TypeDef* t) {
    Asn1Value v = value(t, 0, nullptr);
    blanks();
    if (pos_ != s_.size()) return {};
    return v;
  }

 private:
  void blanks() {
    while (pos_ < s_.size() && (s_[pos_] == ' ' || s_[pos_] == '\t' || s_[pos_] == '\n' || s_[pos_] == '\r'))
      ++pos_;
  }
  bool eat(char c) {
    blanks();
    if (pos_ < s_.size() && s_[pos_] == c) {
      ++pos_;
      return true;
    }
    return false;
  }
  bool peek(char c) {
    blanks();
    return pos_ < s_.size() && s_[pos_] == c;
  }
  static bool ident_char(char c, bool first) {
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')) return true;
    return !first && ((c >= '0' && c <= '9') || c == '-' || c == '_');
  }
  bool ident(std::string& out) {
    blanks();
    std::size_t p = pos_;
    if (p >= s_.size() || !ident_char(s_[p], true)) return false;
    while (p < s_.size() && ident_char(s_[p], false)) ++p;
    out.assign(s_.substr(pos_, p - pos_));
    pos_ = p;
    return true;
  }
  bool number(long& out) {
    blanks();
    std::size_t p = pos_;
    bool negative = false;
    if (p < s_.size() && s_[p] == '-') {
      negative = true;
      ++p;
    }
    const std::size_t digits = p;
    unsigned long v = 0;
    while (p < s_.size() && s_[p] >= '0' && s_[p] <= '9') {
      const unsigned d = static_cast<unsigned>(s_[p] - '0');
      if (v > (static_cast<unsigned long>(LONG_MAX) + 1 - d) / 10) return false;
      v = v * 10 + d;
      ++p;
    }
    if (p == digits) return false;
    if (!negative && v > static_cast<unsigned long>(LONG_MAX)) return false;
    out = negative ? static_cast<long>(0UL - v) : static_cast<long>(v);
    pos_ = p;
    return true;
  }
  bool quoted(std::string& out) {
    blanks();
    if (pos_ >= s_.size() || s_[pos_] != '"') return false;
    std::size_t p = pos_ + 1;
    std::string text;
    for (;;) {
      if (p >= s_.size()) return false;
      if (s_[p] == '"') {
        if (p + 1 < s_.size() && s_[p + 1] == '"') {
          text.push_back('"');
          p += 2;
          continue;
        }
        break;
      }
      text.push_back(s_[p++]);
    }
    pos_ = p + 1;
    out = std::move(text);
    return true;
  }
  // 'hex'H into its bytes.
  bool hex(std::string& out) {
    blanks();
    if (pos_ >= s_.size() || s_[pos_] != '\'') return false;
    std::size_t p = pos_ + 1;
    std::string bytes;
    int half = -1;
    for (; p < s_.size() && s_[p] != '\''; ++p) {
      const char c = s_[p];
      int d;
      if (c >= '0' && c <= '9') {
        d = c - '0';
      } else if (c >= 'A' && c <= 'F') {
        d = c - 'A' + 10;
      } else if (c >= 'a' && c <= 'f') {
        d = c - 'a' + 10;
      } else {
        return false;
      }
      if (half < 0) {
        half = d;
      } else {
        bytes.push_back(static_cast<char>(half * 16 + d));
        half = -1;
      }
    }
    if (half >= 0 || p + 1 >= s_.size() || s_[p] != '\'' || (s_[p + 1] != 'H' && s_[p + 1] != 'h'))
      return false;
    pos_ = p + 2;
    out = std::move(bytes);
    return true;
  }

  Asn1Value oid_value() {
    if (eat('{')) {
      std::string dotted;
      while (!eat('}')) {
        long arc = 0;
        std::string label;
        if (ident(label)) {  // name(number) form
          if (!eat('(') || !number(arc) || !eat(')')) return {};
        } else if (!number(arc) || arc < 0) {
          return {};
        }
        if (!dotted.empty()) dotted.push_back('.');
        dotted += std::to_string(arc);
      }
      return Oid(dotted).to_value();
    }
    std::string name;
    std::string doc;
    if (quoted(doc)) {
      if (pos_ >= s_.size() || s_[pos_] != ':') return {};
      ++pos_;
      std::string item;
      if (!ident(item)) return {};
      std::string quoted_doc;
      append_quoted(quoted_doc, doc);
      name = quoted_doc + ":" + item;
    } else if (!ident(name)) {
      return {};
    }
    Oid oid;
    if (!name_oid(name, oid)) return {};
    return oid.to_value();
  }

  Asn1Value field_value(const Field& f, int depth, const Asn1Value* key) {
    Asn1Value v;
    if (f.type->kind == Kind::Any) {
      std::string bytes;
      blanks();
      if (pos_ < s_.size() && s_[pos_] == '\'') {
        if (!hex(bytes)) return {};
        v = Asn1Value::decode(bytes.data(), bytes.size());
      } else {
        const TypeDef* real = key ? open_type(*key) : nullptr;
        if (!real) return {};
        v = value(real, depth + 1, nullptr);
      }
    } else {
      v = value(f.type, depth + 1, nullptr);
    }
    if (v.is_null()) return {};
    if (nxmp_meta::explicit_tagging(f)) return Asn1Value::encode_tagged(f.tag, v);
    if (f.tag) return v.retag(f.tag);
    return v;
  }

  Asn1Value value(const TypeDef* t, int depth, const Asn1Value*) {
    if (!t || depth > MAX_PARSE_DEPTH) return {};
    switch (t->kind) {
      case Kind::Boolean: {
        std::string w;
        if (!ident(w)) return {};
        if (w == "TRUE") return Asn1Value::encode_bool(true, t->tag);
        if (w == "FALSE") return Asn1Value::encode_bool(false, t->tag);
        return {};
      }
      case Kind::Integer:
      case Kind::Enumerated: {
        long n = 0;
        std::string w;
        if (number(n)) return Asn1Value::encode_int(n, t->tag);
        if (!ident(w)) return {};
        for (const auto& nn : t->names)
          if (w == nn.name) return Asn1Value::encode_int(nn.value, t->tag);
        return {};
      }
      case Kind::Null: {
        std::string w;
        if (!ident(w) || w != "NULL") return {};
        return Asn1Value::encode_null(t->tag);
      }
      case Kind::Text:
      case Kind::Octets: {
        std::string bytes;
        if (!quoted(bytes) && !hex(bytes)) return {};
        return Asn1Value::encode_octets(t->tag, bytes);
      }
      case Kind::Oid: {
        Asn1Value v = oid_value();
        return v.is_null() ? v : v.retag(t->tag);
      }
      case Kind::Choice: {
        std::string alt;
        if (!ident(alt)) return {};
        eat(':');
        for (const Field& f : t->fields)
          if (alt == f.name) return field_value(f, depth, nullptr);
        return {};
      }
      case Kind::Sequence:
        return sequence(t, depth);
      case Kind::SetOf: {
        if (!eat('{')) return {};
        std::vector<Asn1Value> items;
        eat(',');  // an empty set extended by text editing leaves a comma first
        if (!eat('}')) {
          do {
            Asn1Value item = value(t->element, depth + 1, nullptr);
            if (item.is_null()) return {};
            items.push_back(item);
          } while (eat(','));
          if (!eat('}')) return {};
        }
        return Asn1Value::encode_constructed(t->tag, items);
      }
      case Kind::Any:
        return {};
    }
    return {};
  }

  Asn1Value sequence(const TypeDef* t, int depth) {
    if (!eat('{')) return {};
    std::vector<Asn1Value> parts(t->fields.size());
    if (!eat('}')) {
      do {
        std::string name;
        if (!ident(name)) return {};
        std::size_t i = 0;
        while (i < t->fields.size() && name != t->fields[i].name) ++i;
        if (i == t->fields.size() || !parts[i].is_null()) return {};
        const Field& f = t->fields[i];
        const Asn1Value* key = nullptr;
        if (f.type->kind == Kind::Any && f.type->defined_by) {
          for (std::size_t k = 0; k < t->fields.size(); ++k)
            if (std::strcmp(t->fields[k].name, f.type->defined_by) == 0 && !parts[k].is_null()) key = &parts[k];
        }
        parts[i] = field_value(f, depth, key);
        if (parts[i].is_null()) return {};
      } while (eat(','));
      if (!eat('}')) return {};
    }
    for (std::size_t i = 0; i < parts.size(); ++i)
      if (parts[i].is_null() && !t->fields[i].optional) return {};
    return Asn1Value::encode_constructed(t->tag, parts);
  }

  std::string_view s_;
  std::size_t pos_ = 0;
};

}  // namespace

std::string Asn1Type::name() const { return def_ ? def_->name : ""; }

Asn1Type Asn1Type::lookup_type(const char* field, const char* key_field, const Asn1Value& key) {
  if (!field || !key_field) return {};
  const std::string_view f(field), k(key_field);
  nxmp_meta::EntryKind wanted;
  if (f == "attributeValue" && k == "attributeId") {
    wanted = nxmp_meta::EntryKind::Attribute;
  } else if (f == "eventInfo" && k == "eventType") {
    wanted = nxmp_meta::EntryKind::Notification;
  } else {
    return {};
  }
  const Oid oid = Oid::from_value(key);
  const nxmp_meta::Entry* e = oid.empty() ? nullptr : nxmp_meta::find(oid);
  if (!e || e->kind != wanted) return {};
  return Asn1Type(e->type);
}

Asn1Type Asn1Type::by_name(std::string_view name) { return Asn1Type(nxmp_meta::type_named(name)); }

bool Asn1Type::format(const Asn1Value& value, std::string& out) const {
  Formatter f(MAX_PARSE_DEPTH);
  if (def_) {
    f.value(def_, value, 0, true);
  } else {
    f.ok = false;
    append_hex(f.out, encoding_view(value.encoding()));
  }
  out = std::move(f.out);
  return f.ok;
}

int Asn1Type::format_value(const Asn1Value& value, char* buf, std::size_t room, int flags, int tagging,
                           const DataUnit& module, int max_depth) const {
  if (!buf || room == 0) return -1;
  Formatter f(max_depth < 0 ? 0 : max_depth);
  if (def_) {
    f.value(def_, value, 0, tagging == 0);
  } else {
    f.ok = false;
    append_hex(f.out, encoding_view(value.encoding()));
  }
  std::size_t n = f.out.size();
  bool cut = false;
  if (n + 1 > room) {
    n = room - 1;
    cut = true;
  }
  std::memcpy(buf, f.out.data(), n);
  buf[n] = '\0';
  return f.ok && !cut ? static_cast<int>(n) : -1;
}

Asn1Value Asn1Type::parse(std::string_view text) const {
  if (!def_) return {};
  Parser p(text);
  return p.top(def_);
}

Asn1Value Asn1Type::parse_value(const DataUnit& module, const char* text, int flags) const {
  if (!text) return {};
  return parse(std::string_view(text));
}
