// The shading told in sample_shading.h.
#include "render/sample_shading.h"

#include "object/texture_blend.h"

namespace qavren::shaded_detail {
namespace {

constexpr double kSide = ShadedSamples::kSide;

float Weighed(const double w[3], float a, float b, float c) {
    return static_cast<float>(w[0] * a + w[1] * b + w[2] * c);
}

}  // namespace

Status SampleShader::Allocate(uint32_t most_layers) {
    for (Face& face : faces_) face.shape = UINT32_MAX;
    if (Failed(layers_.Allocate(uint64_t{most_layers} * kEntries + 1)) ||
        Failed(samples_.Allocate(uint64_t{most_layers} + 1))) {
        return status::kNoMemory;
    }
    for (uint32_t k = 0; k < kEntries; ++k) faces_[k].layers = &layers_[uint64_t{k} * most_layers];
    return status::kOk;
}

SampleShader::Face& SampleShader::SetUp(const Scene& scene, uint32_t number) {
    Face& face = faces_[number % kEntries];
    if (face.shape == number) return face;
    face.shape = number;
    const Shape& shape = scene.shapes[number];
    const Vertex* v = shape.geometry.corner;
    // The corners in samples; weights of b and c from the signed area, a's
    // what is left.
    const double ax = static_cast<double>(v[0].x) / kOne, ay = static_cast<double>(v[0].y) / kOne;
    const double bx = static_cast<double>(v[1].x) / kOne - ax, by = static_cast<double>(v[1].y) / kOne - ay;
    const double cx = static_cast<double>(v[2].x) / kOne - ax, cy = static_cast<double>(v[2].y) / kOne - ay;
    const double area = bx * cy - by * cx;
    const double inverse = area != 0.0 ? 1.0 / area : 0.0;
    face.wx[1] = cy * inverse, face.wy[1] = -cx * inverse, face.w0[1] = (ay * cx - ax * cy) * inverse;
    face.wx[2] = -by * inverse, face.wy[2] = bx * inverse, face.w0[2] = (ax * by - ay * bx) * inverse;
    face.wx[0] = -face.wx[1] - face.wx[2], face.wy[0] = -face.wy[1] - face.wy[2];
    face.w0[0] = 1.0 - face.w0[1] - face.w0[2];

    const uint32_t corners[3] = {0, shape.fan, shape.fan + 1};
    for (int k = 0; k < 3; ++k) {
        const float* n = scene.normals + 3 * (uint64_t{shape.slot} + corners[k]);
        face.normal[k] = {n[0], n[1], n[2]};
    }
    face.surface = scene.model->surfaces.SurfaceOf(shape.polygon);
    face.shade = &scene.shades[face.surface];
    const BoundTextures& textures = *scene.textures;
    face.vertex_colours = textures.vertex_colours(face.surface);
    face.layer_count = textures.textured(face.surface) ? textures.count(face.surface) : 0;
    if (!face.vertex_colours && face.layer_count == 0) return face;

    const Polygon polygon = scene.model->polygons[shape.polygon];
    uint32_t points[3];
    for (int k = 0; k < 3; ++k) {
        points[k] = polygon.Index(corners[k]);
        const ModelPoint& p = scene.model->points[points[k]];
        face.position[k][0] = p.x, face.position[k][1] = p.y, face.position[k][2] = p.z;
    }
    if (face.vertex_colours) {
        face.intensity = scene.model->surfaces.textures(face.surface).vertex_colours.intensity;
        for (int k = 0; k < 3; ++k) {
            // A point the map leaves out keeps the colour: alpha 0.
            if (!VertexMapAt(*face.vertex_colours, shape.polygon, points[k], face.colour[k])) {
                face.colour[k][0] = face.colour[k][1] = face.colour[k][2] = 1, face.colour[k][3] = 0;
            }
        }
    }
    if (face.layer_count == 0) return face;
    // The face's own normal in object coordinates (cubic maps), its centre,
    // and where the next pixel across and down lands from there.
    const float* p = face.position[0];
    const float* q = face.position[1];
    const float* r = face.position[2];
    const double e1[3] = {double{q[0]} - p[0], double{q[1]} - p[1], double{q[2]} - p[2]};
    const double e2[3] = {double{r[0]} - p[0], double{r[1]} - p[1], double{r[2]} - p[2]};
    face.object_normal[0] = static_cast<float>(e1[1] * e2[2] - e1[2] * e2[1]);
    face.object_normal[1] = static_cast<float>(e1[2] * e2[0] - e1[0] * e2[2]);
    face.object_normal[2] = static_cast<float>(e1[0] * e2[1] - e1[1] * e2[0]);
    float centre[3], across[3], down[3];
    for (int a = 0; a < 3; ++a) {
        centre[a] = static_cast<float>((double{p[a]} + q[a] + r[a]) / 3.0);
        across[a] = centre[a] + static_cast<float>(kSide * (face.wx[0] * p[a] + face.wx[1] * q[a] + face.wx[2] * r[a]));
        down[a] = centre[a] + static_cast<float>(kSide * (face.wy[0] * p[a] + face.wy[1] * q[a] + face.wy[2] * r[a]));
    }
    const TextureBinding* bound = textures.layers(face.surface);
    for (uint32_t k = 0; k < face.layer_count; ++k) {
        LayerCorners& layer = face.layers[k];
        layer.sample = LayerSample{};
        if (bound[k].layer->projection != Projection::kUv) {
            ProjectedFootprint(bound[k], centre, face.object_normal, across, down, &layer.sample.du,
                               &layer.sample.dv);
            continue;
        }
        if (!bound[k].uv_map) continue;
        bool all = true;
        for (int c = 0; c < 3 && all; ++c) {
            float value[4];
            all = VertexMapAt(*bound[k].uv_map, shape.polygon, points[c], value);
            layer.uv[c][0] = value[0], layer.uv[c][1] = value[1];
        }
        layer.sample.has_uv = all;
        if (!all) continue;
        for (int axis = 0; axis < 2; ++axis) {
            const double x = kSide * (face.wx[0] * layer.uv[0][axis] + face.wx[1] * layer.uv[1][axis] +
                                      face.wx[2] * layer.uv[2][axis]);
            const double y = kSide * (face.wy[0] * layer.uv[0][axis] + face.wy[1] * layer.uv[1][axis] +
                                      face.wy[2] * layer.uv[2][axis]);
            const double step = std::fabs(x) > std::fabs(y) ? std::fabs(x) : std::fabs(y);
            (axis == 0 ? layer.sample.du : layer.sample.dv) = static_cast<float>(step);
        }
    }
    return face;
}

uint32_t SampleShader::ShadeAt(const Scene& scene, Face& face, double sx, double sy) {
    double w[3];
    for (int k = 0; k < 3; ++k) w[k] = face.wx[k] * sx + face.wy[k] * sy + face.w0[k];
    const Vec3 normal = NormalisedQuickly({w[0] * face.normal[0].x + w[1] * face.normal[1].x + w[2] * face.normal[2].x,
                                    w[0] * face.normal[0].y + w[1] * face.normal[1].y + w[2] * face.normal[2].y,
                                    w[0] * face.normal[0].z + w[1] * face.normal[1].z + w[2] * face.normal[2].z});
    const SurfaceShade& shade = *face.shade;
    if (!face.vertex_colours && face.layer_count == 0) return scene.light.Lit(shade, normal);
    FloatRgb colour{static_cast<float>(shade.red / 255.0), static_cast<float>(shade.green / 255.0),
               static_cast<float>(shade.blue / 255.0)};
    if (face.layer_count > 0) {
        float position[3];
        for (int a = 0; a < 3; ++a) {
            position[a] = Weighed(w, face.position[0][a], face.position[1][a], face.position[2][a]);
        }
        for (uint32_t k = 0; k < face.layer_count; ++k) {
            const LayerCorners& layer = face.layers[k];
            LayerSample& s = samples_[k];
            s = layer.sample;
            if (s.has_uv) {
                s.uv = {Weighed(w, layer.uv[0][0], layer.uv[1][0], layer.uv[2][0]),
                        Weighed(w, layer.uv[0][1], layer.uv[1][1], layer.uv[2][1])};
            }
        }
        colour = ShadeTextured(scene.textures->layers(face.surface), face.layer_count, colour, position,
                               face.object_normal, &samples_[0]);
    }
    if (face.vertex_colours) {
        const FloatRgb vertex{Weighed(w, face.colour[0][0], face.colour[1][0], face.colour[2][0]),
                         Weighed(w, face.colour[0][1], face.colour[1][1], face.colour[2][1]),
                         Weighed(w, face.colour[0][2], face.colour[1][2], face.colour[2][2])};
        colour = ApplyVertexColour(colour, vertex, Weighed(w, face.colour[0][3], face.colour[1][3], face.colour[2][3]),
                                   face.intensity);
    }
    return scene.light.Lit(shade, 255.0 * colour.r, 255.0 * colour.g, 255.0 * colour.b, normal);
}

void SampleShader::ShadeBand(const Scene& scene, ShadedSamples* band) {
    const ShadedSamples::Box box = band->drawn_box();
    const uint32_t row = static_cast<uint32_t>(ShadedSamples::kSide * band->width());
    for (int32_t y = box.y0; y <= box.y1; ++y) {
        for (int32_t x = box.x0; x <= box.x1; ++x) {
            ShadedSamples::Sample* top = &band->At(ShadedSamples::kSide * x, ShadedSamples::kSide * y);
            ShadedSamples::Sample* s[4] = {top, top + 1, top + row, top + row + 1};
            uint32_t v[4] = {s[0]->value, s[1]->value, s[2]->value, s[3]->value};
            if (!((v[0] | v[1] | v[2] | v[3]) & ShadedSamples::kShape)) continue;
            if (v[0] == v[1] && v[0] == v[2] && v[0] == v[3]) {  // inside a face: its centre
                const uint32_t colour =
                    ShadeAt(scene, SetUp(scene, v[0] & ~ShadedSamples::kShape), kSide * x + 1.0, kSide * y + 1.0) |
                    ShadedSamples::kDrawn;
                for (ShadedSamples::Sample* sample : s) sample->value = colour;
                continue;
            }
            // Each face in the pixel once, at the mean of its samples' centres.
            for (int k = 0; k < 4; ++k) {
                if (!(v[k] & ShadedSamples::kShape)) continue;
                const uint32_t number = v[k];
                double sx = 0, sy = 0;
                int taken = 0;
                for (int m = k; m < 4; ++m) {
                    if (v[m] != number) continue;
                    sx += (m & 1) + 0.5;
                    sy += (m >> 1) + 0.5;
                    ++taken;
                }
                const uint32_t colour =
                    ShadeAt(scene, SetUp(scene, number & ~ShadedSamples::kShape),
                            kSide * x + sx / taken, kSide * y + sy / taken) |
                    ShadedSamples::kDrawn;
                for (int m = k; m < 4; ++m) {
                    if (v[m] != number) continue;
                    s[m]->value = colour;
                    v[m] = colour;
                }
            }
        }
    }
}

}  // namespace qavren::shaded_detail
