#include "bwd2_writer.h"

#include <cmath>
#include <cstring>

#include "core/bytes.h"

namespace content {

namespace {

// A placement: identity rotation and the position.
void PutPlacement(std::string& out, const Vector& position) {
    for (float f : {1.f, 0.f, 0.f, 0.f, 1.f, 0.f, 0.f, 0.f, 1.f}) Bytes_AppendF32(out, f);
    Bytes_AppendVec(out, position);
}

}  // namespace

std::string Bwd2ChunkBytes(const Bwd2Chunk& chunk) {
    std::string out;
    Bytes_AppendFixed(out, chunk.tag, 4);
    Bytes_AppendU32(out, static_cast<uint32_t>(chunk.data.size() + 8));
    return out + chunk.data;
}

std::string Bwd2FileBytes(uint32_t revision, const std::vector<Bwd2Chunk>& body) {
    std::string revisionData;
    Bytes_AppendU32(revisionData, revision);
    std::string out = Bwd2ChunkBytes({"BWD2", ""}) + Bwd2ChunkBytes({"REV", revisionData});
    for (const Bwd2Chunk& chunk : body) out += Bwd2ChunkBytes(chunk);
    return out + Bwd2ChunkBytes({"EXIT", ""});
}

std::string PartRecordBytes(const PartRecord& r, size_t size) {
    std::string out;
    Bytes_AppendFixed(out, r.name, 8);
    for (float f : r.rotation) Bytes_AppendF32(out, f);
    Bytes_AppendVec(out, r.position);
    Bytes_AppendFixed(out, r.parent, 8);
    Bytes_AppendVec(out, r.centre);
    Bytes_AppendF32(out, r.radius);
    Bytes_AppendVec(out, r.half);
    Bytes_AppendU32(out, static_cast<uint32_t>(r.type));
    Bytes_AppendU32(out, r.flags);
    if (size >= 120) {
        Bytes_AppendF32(out, r.spinValue);
        for (float f : r.spinRate) Bytes_AppendF32(out, f);
        Bytes_AppendU32(out, 0);
    }
    out.resize(size, '\0');
    return out;
}

std::string SdfcData(const ModelDef& model) {
    std::string out(20, '\0');  // meaning left open; the reader takes bytes 20..39 of the data
    for (float f : model.extra) Bytes_AppendF32(out, f);
    return out;
}

std::string VdfcData(const ModelDef& model) {
    std::string out(24, '\0');
    for (float f : model.extra) Bytes_AppendF32(out, f);  // data bytes 24..43
    Bytes_AppendF32(out, model.mass);                     // data bytes 44..47
    return out;
}

std::string NameData(const std::string& name) {
    std::string out;
    Bytes_AppendFixed(out, name.empty() ? "null" : name, 8);
    return out;
}

std::string GeoRecordsData(const ModelDef& model) {
    const int levels = model.vehicle ? 7 : 3, states = model.vehicle ? 4 : 2;
    const size_t size = model.vehicle ? 100 : 120;
    std::string out;
    Bytes_AppendU32(out, static_cast<uint32_t>(model.parts.size()));
    for (int level = 0; level < levels; ++level) {
        for (int state = 0; state < states; ++state) {
            for (const ModelPart& part : model.parts) {
                PartRecord record = part.record;
                if (level || state) {
                    std::string name;
                    if (size_t(level) < part.geometry.size() && size_t(state) < part.geometry[size_t(level)].size())
                        name = part.geometry[size_t(level)][size_t(state)];
                    record.name = name.empty() ? "null" : name;
                }
                out += PartRecordBytes(record, size);
            }
        }
    }
    return out;
}

std::string LocatorData(const ModelLocator& locator) {
    std::string out;
    Bytes_AppendU32(out, static_cast<uint32_t>(static_cast<unsigned char>(locator.kind)));
    PutPlacement(out, locator.position);
    return out;
}

std::string LightData(const ModelLight& light) {
    std::string out;
    Bytes_AppendU32(out, static_cast<uint32_t>(light.kind));  // data 0
    out.append(24, '\0');                            // data 4..27
    Bytes_AppendVec(out, light.direction);                    // data 28
    Bytes_AppendVec(out, light.position);                     // data 40
    out.append(8, '\0');                             // data 52..59
    Bytes_AppendF32(out, light.cone);                         // data 60
    Bytes_AppendF32(out, light.range);                        // data 64
    return out;
}

std::string CollisionData(const float values[12]) {
    std::string out;
    for (int i = 0; i < 12; ++i) Bytes_AppendF32(out, values[i]);
    return out;
}

std::string AnimationData(const std::vector<std::string>& trackNames, const std::vector<AnimSequence>& sequences) {
    const uint32_t tracks = static_cast<uint32_t>(trackNames.size());
    const uint32_t keysPerTrack = 2 * static_cast<uint32_t>(sequences.size());
    // Offsets of the block count from the chunk's tag: the data starts at chunk byte 8, the
    // counts sit at chunk bytes 16..32 and the arrays start at chunk byte 64.
    std::string out(8, '\0');
    Bytes_AppendU32(out, static_cast<uint32_t>(sequences.size()));  // sequences
    Bytes_AppendU32(out, tracks);                                   // tracks
    Bytes_AppendU32(out, keysPerTrack * tracks);                    // rotation keys
    Bytes_AppendU32(out, 0);                                        // fourth keys
    Bytes_AppendU32(out, 0);                                        // position keys
    out.resize(64 - 8, '\0');
    std::vector<uint32_t> firsts;
    uint32_t frame = 0;
    for (const AnimSequence& s : sequences) {
        firsts.push_back(frame);
        std::string sequence;
        Bytes_AppendU32(sequence, static_cast<uint32_t>(s.key));
        sequence.resize(132, '\0');
        Bytes_AppendU32(sequence, frame);
        Bytes_AppendU32(sequence, static_cast<uint32_t>(s.length));
        Bytes_AppendU32(sequence, static_cast<uint32_t>(s.loops));
        Bytes_AppendF32(sequence, s.speed);
        out += sequence;
        frame += static_cast<uint32_t>(s.length > 0 ? s.length : 1);
    }
    for (uint32_t t = 0; t < tracks; ++t) {
        std::string track;
        Bytes_AppendFixed(track, trackNames[t], 8);
        track.resize(60, '\0');
        for (float f : {1.f, 0.f, 0.f, 0.f, 1.f, 0.f, 0.f, 0.f, 1.f}) Bytes_AppendF32(track, f);
        Bytes_AppendVec(track, Vector{0, 0, 0});
        Bytes_AppendU32(track, keysPerTrack * t);  // first rotation key
        Bytes_AppendU32(track, keysPerTrack);      // rotation keys
        track.resize(124, '\0');
        Bytes_AppendU32(track, 0);
        Bytes_AppendU32(track, 0);
        out += track;
    }
    for (uint32_t t = 0; t < tracks; ++t) {
        for (size_t i = 0; i < sequences.size(); ++i) {
            const AnimSequence& s = sequences[i];
            Bytes_AppendU32(out, firsts[i]);
            for (float f : {1.f, 0.f, 0.f, 0.f}) Bytes_AppendF32(out, f);  // w, x, y, z
            Bytes_AppendU32(out, firsts[i] + static_cast<uint32_t>(s.length > 1 ? s.length - 1 : 0));
            for (float f : {float(std::cos(s.angle / 2)), 0.f, float(std::sin(s.angle / 2)), 0.f})
                Bytes_AppendF32(out, f);
        }
    }
    return out;
}

std::string AnimationData(const std::vector<std::string>& trackNames, int key, int length, int loops, float speed,
                          float angle) {
    return AnimationData(trackNames, {AnimSequence{key, length, loops, speed, angle}});
}

std::string ModelFileBytes(const ModelDef& model) {
    std::vector<Bwd2Chunk> body;
    if (model.vehicle) {
        body.push_back({"VDFC", VdfcData(model)});
        body.push_back({"SOBJ", NameData(model.objectGeometry)});
        for (const ModelLocator& locator : model.locators) body.push_back({"VLOC", LocatorData(locator)});
        body.push_back({"VGEO", GeoRecordsData(model)});
        if (!model.animation.empty()) body.push_back({"ANIM", model.animation});
        for (const ModelLight& light : model.lights) body.push_back({"LOBJ", LightData(light)});
        if (model.collision) body.push_back({"COLP", CollisionData(model.collisionValues)});
        return Bwd2FileBytes(7, body);
    }
    body.push_back({"SDFC", SdfcData(model)});
    body.push_back({"SOBJ", NameData(model.objectGeometry)});
    body.push_back({"SGEO", GeoRecordsData(model)});
    for (const ModelLight& light : model.lights) body.push_back({"LOBJ", LightData(light)});
    if (!model.animation.empty()) body.push_back({"ANIM", model.animation});
    return Bwd2FileBytes(8, body);
}

}  // namespace content
