// The score reader: text statements into a Score, and the Score into timed notes.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "tools/assetgen/music.h"

namespace {

std::vector<std::string> splitWords(const std::string& line) {
    std::vector<std::string> words;
    std::istringstream in(line);
    std::string w;
    while (in >> w) words.push_back(w);
    return words;
}

bool parseNumber(const std::string& text, double* value) {
    if (text.empty()) return false;
    char* end = nullptr;
    const double v = std::strtod(text.c_str(), &end);
    if (end != text.c_str() + text.size() || !std::isfinite(v)) return false;
    *value = v;
    return true;
}

struct Parser {
    Score* score;
    std::string* error;
    int line = 0;

    bool fail(const std::string& why) {
        *error = "line " + std::to_string(line) + ": " + why;
        return false;
    }

    bool number(const std::string& text, double* v, const char* what) {
        if (!parseNumber(text, v)) return fail(std::string("expected a number for ") + what +
                                               ", got \"" + text + "\"");
        return true;
    }

    bool inKey(int note) const {
        static const int kMinor[7] = {0, 2, 3, 5, 7, 8, 10};
        static const int kMajor[7] = {0, 2, 4, 5, 7, 9, 11};
        const int* scale = score->minor ? kMinor : kMajor;
        const int degree = ((note - score->keyRoot) % 12 + 12) % 12;
        return std::find(scale, scale + 7, degree) != scale + 7;
    }

    // "A3" or "A3+C4+E4".
    bool notes(const std::string& text, std::vector<int>* out) {
        out->clear();
        size_t pos = 0;
        while (pos <= text.size()) {
            size_t plus = text.find('+', pos);
            if (plus == std::string::npos) plus = text.size();
            const std::string name = text.substr(pos, plus - pos);
            int n = 0;
            if (!parseNoteName(name.c_str(), &n)) return fail("not a note: \"" + name + "\"");
            out->push_back(n);
            pos = plus + 1;
        }
        return true;
    }

    bool checkKey(const std::vector<int>& notes, int transpose) {
        for (int n : notes) {
            if (!inKey(n + transpose)) {
                return fail("note " + std::to_string(n + transpose) +
                            " (MIDI) is outside the key of the score");
            }
        }
        return true;
    }

    // key=value options; unknown keys are errors.
    bool options(const std::vector<std::string>& words, size_t from,
                 const std::vector<std::pair<const char*, double*>>& known) {
        for (size_t i = from; i < words.size(); ++i) {
            const size_t eq = words[i].find('=');
            if (eq == std::string::npos) return fail("expected key=value, got \"" + words[i] + "\"");
            const std::string key = words[i].substr(0, eq);
            bool found = false;
            for (const auto& k : known) {
                if (key == k.first) {
                    if (!number(words[i].substr(eq + 1), k.second, k.first)) return false;
                    found = true;
                }
            }
            if (!found) return fail("unknown option \"" + key + "\"");
        }
        return true;
    }

    bool instrument(const std::string& name, Instrument* out) {
        if (!instrumentFromName(name.c_str(), out)) return fail("unknown instrument \"" + name + "\"");
        return true;
    }

    int findPattern(const std::string& name) const {
        for (size_t i = 0; i < score->patterns.size(); ++i) {
            if (score->patterns[i].name == name) return static_cast<int>(i);
        }
        return -1;
    }

    // A token, or "token*N" for N copies of it.
    bool patternToken(Pattern& p, const std::string& token) {
        const size_t star = token.rfind('*');
        if (star == std::string::npos) return patternStep(p, token);
        double count = 0;
        if (star == 0 || !parseNumber(token.substr(star + 1), &count) || count < 1 || count > 256 ||
            count != std::floor(count)) {
            return fail("expected token*count with a count of 1..256, got \"" + token + "\"");
        }
        const std::string base = token.substr(0, star);
        for (int i = 0; i < static_cast<int>(count); ++i) {
            if (!patternStep(p, base)) return false;
        }
        return true;
    }

    bool patternStep(Pattern& p, const std::string& token) {
        const bool pitched = instrumentIsPitched(p.instrument);
        if (token == "|") return true;
        if (token == ".") {
            p.steps.push_back(PatternStep{});
            return true;
        }
        if (token == "-") {
            // A tie lengthens the last note that started before it.
            for (size_t i = p.steps.size(); i-- > 0;) {
                if (p.steps[i].velocity > 0.0f) {
                    if (static_cast<int>(i) + p.steps[i].steps != static_cast<int>(p.steps.size())) {
                        return fail("a tie must follow a note or another tie");
                    }
                    ++p.steps[i].steps;
                    p.steps.push_back(PatternStep{});
                    return true;
                }
            }
            return fail("a tie with no note before it");
        }
        PatternStep step;
        if (!pitched) {
            if (token == "x") step.velocity = 0.8f;
            else if (token == "X") step.velocity = 1.0f;
            else if (token == "o") step.velocity = 0.45f;
            else return fail("drum steps are x, X, o, . or -, got \"" + token + "\"");
        } else {
            if (!notes(token, &step.notes) || !checkKey(step.notes, 0)) return false;
            step.velocity = 1.0f;
        }
        p.steps.push_back(step);
        return true;
    }

    bool finishPattern(int index) {
        if (index < 0) return true;
        const Pattern* p = &score->patterns[static_cast<size_t>(index)];
        if (p->steps.empty()) return fail("pattern \"" + p->name + "\" has no steps");
        if (p->steps.size() % static_cast<size_t>(p->stepsPerBar) != 0) {
            return fail("pattern \"" + p->name + "\" has " + std::to_string(p->steps.size()) +
                        " steps, not a whole number of bars of " +
                        std::to_string(p->stepsPerBar));
        }
        return true;
    }

    bool automation(const std::vector<std::string>& w) {
        if (w.size() < 4) return fail("automate <instrument|master> <level|cutoff> t:v ...");
        Automation a;
        if (w[1] != "master") {
            Instrument ins;
            if (!instrument(w[1], &ins)) return false;
            a.target = static_cast<int>(ins);
        }
        if (w[2] == "level") a.param = AutomationParam::Level;
        else if (w[2] == "cutoff") a.param = AutomationParam::Cutoff;
        else return fail("automation parameter must be level or cutoff");
        if (a.target < 0 && a.param != AutomationParam::Level) return fail("master has only a level");
        for (size_t i = 3; i < w.size(); ++i) {
            const size_t colon = w[i].find(':');
            double t = 0, v = 0;
            if (colon == std::string::npos || !number(w[i].substr(0, colon), &t, "a time") ||
                !number(w[i].substr(colon + 1), &v, "a value")) {
                if (colon == std::string::npos) return fail("expected time:value, got \"" + w[i] + "\"");
                return false;
            }
            if (!a.points.empty() && t < a.points.back().first) return fail("automation times must ascend");
            if (v < 0.0) return fail("automation values must not be negative");
            a.points.emplace_back(t, v);
        }
        score->automations.push_back(a);
        return true;
    }

    bool run(const std::string& text) {
        std::istringstream in(text);
        std::string raw;
        // Index of the pattern or section whose indented lines follow, or -1.
        int pattern = -1;
        int section = -1;
        while (std::getline(in, raw)) {
            ++line;
            // '#' starts a comment at the start of a line or after a space; inside a
            // word it is a sharp (C#4).
            size_t hash = raw.find('#');
            while (hash != std::string::npos && hash > 0 && raw[hash - 1] != ' ' && raw[hash - 1] != '\t') {
                hash = raw.find('#', hash + 1);
            }
            const std::string body = hash == std::string::npos ? raw : raw.substr(0, hash);
            const std::vector<std::string> w = splitWords(body);
            if (w.empty()) continue;
            const bool indented = body[0] == ' ' || body[0] == '\t';
            if (indented) {
                if (pattern >= 0) {
                    for (const std::string& token : w) {
                        if (!patternToken(score->patterns[static_cast<size_t>(pattern)], token)) return false;
                    }
                } else if (section >= 0) {
                    const int index = findPattern(w[0]);
                    if (index < 0) return fail("unknown pattern \"" + w[0] + "\"");
                    double level = 1.0, transpose = 0.0;
                    if (!options(w, 1, {{"level", &level}, {"transpose", &transpose}})) return false;
                    const Pattern& p = score->patterns[static_cast<size_t>(index)];
                    for (const PatternStep& s : p.steps) {
                        if (!checkKey(s.notes, static_cast<int>(transpose))) return false;
                    }
                    score->sections[static_cast<size_t>(section)].plays.push_back(
                        Play{index, static_cast<float>(level), static_cast<int>(transpose)});
                } else {
                    return fail("indented line outside a pattern or section");
                }
                continue;
            }
            if (!finishPattern(pattern)) return false;
            pattern = -1;
            section = -1;
            const std::string& cmd = w[0];
            if (cmd == "tempo" && w.size() == 2) {
                if (!number(w[1], &score->tempo, "tempo")) return false;
                if (score->tempo < 20.0 || score->tempo > 400.0) return fail("tempo out of range");
            } else if (cmd == "key" && w.size() == 3) {
                int n = 0;
                if (!parseNoteName((w[1] + "4").c_str(), &n)) return fail("unknown key \"" + w[1] + "\"");
                score->keyRoot = n % 12;
                if (w[2] == "minor") score->minor = true;
                else if (w[2] == "major") score->minor = false;
                else return fail("key must be major or minor");
            } else if (cmd == "length" && w.size() == 2) {
                if (!number(w[1], &score->length, "length")) return false;
                if (score->length <= 0.0 || score->length > 3600.0) return fail("length out of range");
            } else if (cmd == "silence" && w.size() == 2) {
                if (!number(w[1], &score->silence, "silence")) return false;
            } else if (cmd == "delay" && w.size() == 3) {
                if (!number(w[1], &score->delayTime, "delay time") ||
                    !number(w[2], &score->delayFeedback, "delay feedback")) return false;
                if (score->delayTime <= 0.0 || score->delayTime > 4.0) return fail("delay time out of range");
            } else if (cmd == "reverb" && w.size() == 3) {
                if (!number(w[1], &score->reverbSize, "reverb size") ||
                    !number(w[2], &score->reverbDamp, "reverb damping")) return false;
            } else if (cmd == "master" && w.size() >= 2) {
                double gain = score->masterGain, ceiling = 20.0 * std::log10(score->peakLimit);
                if (!options(w, 1, {{"gain", &gain}, {"ceiling", &ceiling}})) return false;
                score->masterGain = gain;
                score->peakLimit = std::pow(10.0, ceiling / 20.0);
            } else if (cmd == "mix" && w.size() >= 2) {
                Instrument ins;
                if (!instrument(w[1], &ins)) return false;
                MixSettings& m = score->mix[static_cast<int>(ins)];
                double level = m.level, pan = m.pan, reverb = m.reverb, delay = m.delay, duck = m.duck;
                if (!options(w, 2, {{"level", &level}, {"pan", &pan}, {"reverb", &reverb},
                                    {"delay", &delay}, {"duck", &duck}})) return false;
                if (pan < -1.0 || pan > 1.0 || duck < 0.0 || duck > 1.0) return fail("pan or duck out of range");
                m = MixSettings{static_cast<float>(level), static_cast<float>(pan),
                                static_cast<float>(reverb), static_cast<float>(delay),
                                static_cast<float>(duck)};
            } else if (cmd == "pattern" && (w.size() == 3 || w.size() == 4)) {
                if (findPattern(w[1]) >= 0) return fail("pattern \"" + w[1] + "\" defined twice");
                Pattern p;
                p.name = w[1];
                if (!instrument(w[2], &p.instrument)) return false;
                double steps = 16;
                if (!options(w, 3, {{"steps", &steps}})) return false;
                if (steps < 1 || steps > 64 || steps != std::floor(steps)) return fail("steps must be 1..64");
                p.stepsPerBar = static_cast<int>(steps);
                score->patterns.push_back(p);
                pattern = static_cast<int>(score->patterns.size()) - 1;
            } else if (cmd == "section" && w.size() == 4) {
                Section s;
                s.name = w[1];
                if (!number(w[2], &s.start, "section start") || !number(w[3], &s.end, "section end")) return false;
                if (s.end <= s.start || s.start < 0.0) return fail("section must end after it starts");
                score->sections.push_back(s);
                section = static_cast<int>(score->sections.size()) - 1;
            } else if (cmd == "at" && w.size() >= 3) {
                TimedEvent e;
                if (!number(w[1], &e.time, "event time")) return false;
                if (e.time < 0.0) return fail("event time must not be negative");
                if (!instrument(w[2], &e.instrument)) return false;
                size_t optFrom = 3;
                if (instrumentIsPitched(e.instrument)) {
                    if (w.size() < 4) return fail(std::string(instrumentName(e.instrument)) + " needs notes");
                    if (!notes(w[3], &e.notes) || !checkKey(e.notes, 0)) return false;
                    optFrom = 4;
                }
                double level = 1.0, length = 0.25;
                if (!options(w, optFrom, {{"level", &level}, {"length", &length}})) return false;
                if (length <= 0.0 || length > 60.0) return fail("length out of range");
                e.level = static_cast<float>(level);
                e.length = length;
                score->events.push_back(e);
            } else if (cmd == "automate") {
                if (!automation(w)) return false;
            } else {
                return fail("unknown statement \"" + cmd + "\" or wrong number of words");
            }
        }
        return finishPattern(pattern);
    }
};

uint32_t mixSeed(uint32_t a, uint32_t b, uint32_t c) {
    uint32_t h = 2166136261u;
    for (uint32_t v : {a, b, c}) {
        h = (h ^ v) * 16777619u;
        h ^= h >> 15;
    }
    return h ? h : 1u;
}

}  // namespace

bool parseScore(const std::string& text, Score* score, std::string* error) {
    Score fresh;
    Parser parser{&fresh, error};
    if (!parser.run(text)) return false;
    *score = std::move(fresh);
    return true;
}

bool loadScore(const std::string& path, Score* score, std::string* error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        *error = "cannot open " + path;
        return false;
    }
    std::stringstream text;
    text << in.rdbuf();
    if (!parseScore(text.str(), score, error)) {
        *error = path + ": " + *error;
        return false;
    }
    return true;
}

double stepSeconds(const Score& score, int stepsPerBar) {
    return 4.0 * 60.0 / score.tempo / stepsPerBar;
}

std::vector<ScheduledNote> scheduleScore(const Score& score) {
    std::vector<ScheduledNote> out;
    const double eps = 1e-9;
    for (const Section& s : score.sections) {
        for (const Play& play : s.plays) {
            const Pattern& p = score.patterns[static_cast<size_t>(play.pattern)];
            const double dt = stepSeconds(score, p.stepsPerBar);
            const int64_t count = static_cast<int64_t>(p.steps.size());
            // owner[i]: the step whose note is sounding at step i, or -1.
            std::vector<int64_t> owner(p.steps.size(), -1);
            for (int64_t i = 0; i < count; ++i) {
                const PatternStep& st = p.steps[static_cast<size_t>(i)];
                if (st.velocity <= 0.0f) continue;
                for (int64_t j = i; j < std::min(count, i + st.steps); ++j) owner[static_cast<size_t>(j)] = i;
            }
            // A section that starts while a note of its pattern is sounding (held over
            // from an earlier step) picks that note up at its own start.
            const int64_t current = static_cast<int64_t>(std::floor(s.start / dt + eps));
            const int64_t first = static_cast<int64_t>(std::ceil(s.start / dt - eps));
            for (int64_t k = std::min(current, first); k * dt < s.end - eps; ++k) {
                const int64_t pk = k % count;
                const int64_t own = owner[static_cast<size_t>(pk)];
                if (own < 0) continue;
                const int64_t noteStep = k - (pk - own);
                double start = noteStep * dt;
                if (start < s.start - eps) {
                    // Held notes are picked up once, at the section's start; a drum hit
                    // that began before the section is not struck again.
                    if (k != current || !instrumentIsPitched(p.instrument)) continue;
                    start = s.start;
                } else if (own != pk) {
                    continue;  // a held step, not a new note
                }
                const PatternStep& step = p.steps[static_cast<size_t>(own)];
                const double noteEnd = (noteStep + step.steps) * dt;
                if (noteEnd <= start + eps) continue;
                ScheduledNote n;
                n.start = start;
                n.instrument = p.instrument;
                n.on.length = std::min(noteEnd, s.end) - start;
                n.on.velocity = step.velocity * play.level;
                if (step.notes.empty()) {
                    n.on.seed = mixSeed(static_cast<uint32_t>(p.instrument), static_cast<uint32_t>(k), 0);
                    out.push_back(n);
                }
                for (size_t i = 0; i < step.notes.size(); ++i) {
                    n.on.note = step.notes[i] + play.transpose;
                    n.on.seed = mixSeed(static_cast<uint32_t>(p.instrument), static_cast<uint32_t>(k),
                                        static_cast<uint32_t>(n.on.note));
                    out.push_back(n);
                }
            }
        }
    }
    for (size_t e = 0; e < score.events.size(); ++e) {
        const TimedEvent& ev = score.events[e];
        ScheduledNote n;
        n.start = ev.time;
        n.instrument = ev.instrument;
        n.on.length = ev.length;
        n.on.velocity = ev.level;
        if (ev.notes.empty()) {
            n.on.seed = mixSeed(0xE7u, static_cast<uint32_t>(e), 0);
            out.push_back(n);
        }
        for (int note : ev.notes) {
            n.on.note = note;
            n.on.seed = mixSeed(0xE7u, static_cast<uint32_t>(e), static_cast<uint32_t>(note));
            out.push_back(n);
        }
    }
    std::stable_sort(out.begin(), out.end(), [](const ScheduledNote& a, const ScheduledNote& b) {
        return a.start < b.start;
    });
    return out;
}
