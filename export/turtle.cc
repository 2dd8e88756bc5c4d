// OWL in Turtle: classes, relations as object properties, nodes as named
// individuals, links as property assertions and the captions as annotations
// of the ontology. What OWL has no word for (colours, styles, label flags,
// images, the ids themselves) goes under annotation properties of the
// plan vocabulary, so that nothing of the plan is lost and no reasoner
// reads anything into it.
#include "export/escape.h"
#include "export/formats.h"

namespace plotweave {

namespace {

// The terms of the plan vocabulary, all annotation properties.
constexpr const char* kVocabulary[] = {"id", "color", "style", "labelFlag", "image", "picture"};

void Local(BufferedWriter& out, const char* name) {
  out.Put(':');
  WriteTurtleLocal(out, name);
}

// Writes ` ;` and the property for the value that follows.
void Property(BufferedWriter& out, const char* property) {
  out.Write(" ;\n    ");
  out.Write(property);
  out.Put(' ');
}

void Text(BufferedWriter& out, const char* property, const char* value) {
  Property(out, property);
  WriteTurtleString(out, value);
}

void Number(BufferedWriter& out, const char* property, long value) {
  Property(out, property);
  WriteNumber(out, value);
}

// Whether the text starts with a URI scheme ("http:", "mailto:"): only such
// an address is an IRI of its own. A relative address is relative to the
// page's server, which the Turtle file does not know.
bool HasScheme(const char* text) {
  const char* p = text;
  if (!((*p >= 'a' && *p <= 'z') || (*p >= 'A' && *p <= 'Z'))) return false;
  while ((*p >= 'a' && *p <= 'z') || (*p >= 'A' && *p <= 'Z') || (*p >= '0' && *p <= '9') || *p == '+' ||
         *p == '-' || *p == '.') {
    ++p;
  }
  return *p == ':';
}

// An address: an IRI when it is an absolute one, else the text typed as a
// URI reference.
void Address(BufferedWriter& out, const char* property, const char* address) {
  Property(out, property);
  if (HasScheme(address)) {
    out.Put('<');
    WriteTurtleIri(out, address);
    out.Put('>');
  } else {
    WriteTurtleString(out, address);
    out.Write("^^xsd:anyURI");
  }
}

void Kind(BufferedWriter& out, const ExportKind& kind, const char* type) {
  out.Put('\n');
  Local(out, kind.name);
  out.Write(" a ");
  out.Write(type);
  Text(out, "rdfs:label", kind.name);
  Text(out, "pw:color", kind.colour);
  Text(out, "pw:style", kind.style);
  Number(out, "pw:labelFlag", kind.labelFlag);
  out.Write(" .\n");
}

// The ontology's own IRI: the namespace without its closing '#'.
void OntologyIri(BufferedWriter& out, const char* base) {
  size_t n = 0;
  while (base[n] != '\0') ++n;
  if (n > 0 && base[n - 1] == '#') --n;
  out.Put('<');
  out.Write(base, n);
  out.Put('>');
}

}  // namespace

void WriteTurtle(const ExportModel& model, const ExportSettings& settings, BufferedWriter& out) {
  out.Write("@prefix : <");
  out.Write(settings.base);
  out.Write(
      ">.\n"
      "@prefix pw: <" PLOTWEAVE_TURTLE_VOCABULARY
      ">.\n"
      "@prefix owl: <http://www.w3.org/2002/07/owl#>.\n"
      "@prefix rdf: <http://www.w3.org/1999/02/22-rdf-syntax-ns#>.\n"
      "@prefix rdfs: <http://www.w3.org/2000/01/rdf-schema#>.\n"
      "@prefix xsd: <http://www.w3.org/2001/XMLSchema#>.\n\n");
  OntologyIri(out, settings.base);
  out.Write(" a owl:Ontology");
  Text(out, "rdfs:label", settings.name);
  // Each caption under an annotation property named after its element tag
  // (pw:caption_h1), a kind of comment; in the order of the plan.
  for (int i = 0; i < model.captionCount; ++i) {
    out.Write(" ;\n    pw:caption_");
    WriteTurtleLocal(out, model.captions[i].tag);
    out.Put(' ');
    WriteTurtleString(out, model.captions[i].text);
  }
  out.Write(" .\n\n");
  for (const char* term : kVocabulary) {
    out.Write("pw:");
    out.Write(term);
    out.Write(" a owl:AnnotationProperty .\n");
  }
  for (int i = 0; i < model.captionCount; ++i) {
    // A tag used twice is declared twice, which says nothing new.
    out.Write("pw:caption_");
    WriteTurtleLocal(out, model.captions[i].tag);
    out.Write(" a owl:AnnotationProperty ; rdfs:subPropertyOf rdfs:comment .\n");
  }
  for (int i = 0; i < model.classCount; ++i) Kind(out, model.classes[i], "owl:Class");
  for (int i = 0; i < model.relationCount; ++i) Kind(out, model.relations[i], "owl:ObjectProperty");
  for (int i = 0; i < model.nodeCount; ++i) {
    const ExportNode& node = model.nodes[i];
    if (!node.first) continue;
    out.Put('\n');
    Local(out, node.id);
    out.Write(" a owl:NamedIndividual, ");
    Local(out, node.className);
    Text(out, "rdfs:label", node.label);
    Text(out, "pw:id", node.id);
    if (node.address[0] != '\0') Address(out, "rdfs:seeAlso", node.address);
    if (node.image[0] != '\0') Address(out, "pw:image", node.image);
    Number(out, "pw:picture", node.picture);
    out.Write(" .\n");
  }
  out.Put('\n');
  for (int i = 0; i < model.linkCount; ++i) {
    const ExportLink& link = model.links[i];
    Local(out, model.nodes[link.from].id);
    out.Put(' ');
    Local(out, model.relations[link.relation].name);
    out.Put(' ');
    Local(out, model.nodes[link.to].id);
    out.Write(" .\n");
  }
}

}  // namespace plotweave
