// The layout of data.dat, written down once: its version, the names of the
// object kinds and the fields of every record in archive order. The loader,
// orvane-pack's encoder and its lister all walk these descriptions.
#pragma once

#include <cstdint>
#include <iterator>
#include <string>

#include "content/world_data.h"

// Little-endian throughout. After the version come five tables, each a u16
// count and that many records: textures, sounds, fonts, collision masks (one
// u32 each, mask i for group i) and scenes. The materials block may follow.
constexpr uint16_t archiveVersion = 7;

// The objects that set a contact material, after the last scene: a u32
// materialBlockTag, a u32 count and that many material records. Readers of
// version 7 that know no materials stop before it, so the block needs no
// version of its own; a table where no object sets a material ends with its
// scenes, as it always did. Bytes after the scenes that do not start with
// the tag are not a block and are never read.
constexpr uint32_t materialBlockTag = 0x4C54414D;  // the bytes "MATL"
constexpr unsigned materialBlockHeadBytes = 8;     // tag and count
constexpr unsigned materialRecordBytes = 16;       // two u16 indices, three f32

// Which object a material record is for, and the material.
struct MaterialRecord {
  int scene = 0, object = 0;  // from 0, in archive order
  Material material;
};

// Indexed by ObjectKind.
inline constexpr const char* objectKindNames[] = {"static", "dynamic", "trigger", "marker", "prop"};
constexpr unsigned objectKindCount = unsigned(std::size(objectKindNames));

// The name of a kind byte, or nullptr for one past the named kinds.
inline const char* objectKindName(unsigned kind) {
  return kind < objectKindCount ? objectKindNames[kind] : nullptr;
}

// The kind a source names, as the packer reads it; false for no kind.
inline bool objectKindNamed(const std::string& name, ObjectKind& kind) {
  for (unsigned k = 0; k < objectKindCount; ++k)
    if (name == objectKindNames[k]) {
      kind = ObjectKind(k);
      return true;
    }
  return false;
}

constexpr unsigned pointBytes = 8;  // an outline point: f32 x, f32 y
constexpr unsigned pixelBytes = 4;  // a texture pixel: R, G, B, A

// Each *Fields(io, record) below visits the fixed fields of one record in
// archive order; the comment above it says what follows them. The record is
// a template parameter so that one description serves the const records the
// encoder writes and the ones the loader fills. An Io has one operation per
// field type, each taken with the field and its name:
//   name(s)      a str that names the record; it comes first
//   str(s, n)    a u16 length, then that many bytes
//   u8, u16, i16 integers of 8 and 16 bits; f32 the bits of a u32
//   point(p, n)  f32 x, then f32 y
//   flag(b, n)   a u8: 0 is false, any other value true
//   kind(k, n)   a u8 ObjectKind; values past KindProp are kept as they are
//   group(g, n)  a u8 collision group; 0 to 31 pick a mask, others none

// Then width * height * pixelBytes bytes of pixels, top row first.
template <class Io, class Record>
void textureFields(Io& io, Record& texture) {
  io.name(texture.name);
  io.u16(texture.width, "width");
  io.u16(texture.height, "height");
}

// Then a u32 length and that many bytes of a sound file, as it was.
template <class Io, class Record>
void soundFields(Io& io, Record& sound) {
  io.name(sound.name);
}

// Then a u16 glyph count and that many glyph records.
template <class Io, class Record>
void fontFields(Io& io, Record& font) {
  io.name(font.name);
  io.i16(font.spaceWidth, "spaceWidth");
  io.i16(font.spacing, "spacing");
}

// Then width * height bitmap bytes, top row first; any nonzero byte is ink.
template <class Io, class Record>
void glyphFields(Io& io, Record& glyph) {
  io.u8(glyph.code, "code");
  io.u8(glyph.width, "width");
  io.u8(glyph.height, "height");
}

// Then a u16 object count and the object records, a u16 link count and the
// link records.
template <class Io, class Record>
void sceneFields(Io& io, Record& scene) {
  io.name(scene.name);
}

// Then a u16 outline count and that many points.
template <class Io, class Record>
void objectFields(Io& io, Record& object) {
  io.name(object.name);
  io.str(object.id, "id");
  io.str(object.img, "img");
  io.str(object.litImg, "litImg");
  io.str(object.linkedTo, "linkedTo");
  io.f32(object.imageScale, "imageScale");
  io.point(object.imageOffset, "imageOffset");
  io.u8(object.layer, "layer");
  io.u8(object.blend, "blend");
  io.kind(object.kind, "kind");
  io.group(object.collisionGroup, "collisionGroup");
  io.flag(object.immovableByOtherScenes, "immovableByOtherScenes");
  io.f32(object.mass, "mass");
  io.f32(object.inertiaRadius, "inertiaRadius");
  io.point(object.position, "position");
}

// Nothing follows.
template <class Io, class Record>
void linkFields(Io& io, Record& link) {
  io.name(link.name);
  io.str(link.obj1, "obj1");
  io.str(link.obj2, "obj2");
  io.point(link.anchor, "anchor");
}

// Nothing follows. An object named by two records takes the first.
template <class Io, class Record>
void materialFields(Io& io, Record& record) {
  io.u16(record.scene, "scene");
  io.u16(record.object, "object");
  for (const MaterialValue& value : materialValues)
    io.f32(record.material.*value.field, value.name);
}
