#!/usr/bin/env python3
"""Fills the address column of channels.tsv and films.tsv.

The stream addresses of the catalogue are stand-ins: the old streams no longer
exist, and the program must never send traffic to anybody's real server, so
every host is a reserved name (*.example, *.test, *.invalid, example.com/.net/
.org) or lies in a documentation IPv4 range. What the stand-ins keep is the
shape of the catalogue: how many entries use each kind of address, which
entries share one address, how many servers and ports the films use.

The committed TSV files are the source of truth; this script was used once to
write their address columns and can be re-run (it is deterministic). The C++
tests check the counts and the sharing against the files, not this script.

For films the scheme of each row is kept from the current address (a bare
"rtsp:" is enough); an empty address stays empty (a title-only label).

Usage: catalogue/tools/make-addresses.py   (rewrites both files in place)
"""
import os
import random
import re
import unicodedata

HERE = os.path.dirname(os.path.abspath(__file__))
CHANNELS = os.path.join(HERE, '..', 'channels.tsv')
FILMS = os.path.join(HERE, '..', 'films.tsv')

DIRECTORY = 'http://tv-directory.example/play/'
VN_SITE = 'http://truyenhinh-vn.example/live/'


def slug(text):
    text = re.sub(r'([aeiouyAEIOUY])[1-8]+', r'\1', text)
    text = re.sub(r'([dD])9', r'\1', text)
    text = unicodedata.normalize('NFKD', text).encode('ascii', 'ignore').decode()
    return re.sub(r'[^a-z0-9]+', '-', text.lower()).strip('-') or 'x'


def read(path):
    with open(path, encoding='utf-8') as f:
        lines = f.read().split('\n')
    header = lines[0].split('\t')
    rows = [dict(zip(header, l.split('\t'))) for l in lines[1:] if l]
    return header, rows


def write(path, header, rows):
    with open(path, 'w', encoding='utf-8', newline='\n') as f:
        f.write('\t'.join(header) + '\n')
        for r in rows:
            f.write('\t'.join(r[h] for h in header) + '\n')


# Entries that share one address, by window, panel and caption. All of them
# are directory playlists; the groups of the Vietnamese panel are below.
SHARED = [
    ('frmmain', 'usa5_', ['TV 23', 'TV 26', 'TV 30']),
    ('frmmain', 'usa1_', ['BCAT TV ch.1', 'BCAT TV ch.2', 'BCAT TV ch.3']),
    ('frmmain3', 'GGH', ['WordofGod 01', 'WordofGod 02', 'WordofGod 03']),
    ('frmmain', 'usa1_', ['C-Span 2', 'C-Span 3']),
    ('frmmain3', ('duc1', 'duc2'), ['Bietbox TV', 'TV Shop']),
    ('frmmain', 'anh1_', ['BBC_Parliament 01', 'BBC_Parliament 02']),
    ('frmmain', 'anh1_', ['Gems TV', 'Gems TV2']),
    ('frmmain', 'usa4_', ['Scan TV 01', 'Scan TV 02']),
    ('frmmain', 'usa2_', ['OCTT Ch. 13', 'OCTT Ch. 16']),
    ('frmmain2', 'cc1_', ['XATV-1', 'XATV-2']),
    ('frmmain2', 'bc1', ['CPAC English', 'CPAC French']),
    ('frmmain2', 'k8_', ['HDTV 1', 'HDTV 2']),
    ('frmmain3', 'duc1', ['HSE 24', 'HSE 24 DIGITAL']),
    ('frmmain3', 'duc2', ['TV Touring 1', 'TV Touring 2']),
    ('frmmain3', 'hungary', ['Duna II Autonomia', 'Duna TV']),
    ('frmmain3', 'iran', ['Sahar TV1', 'Sahar TV2']),
    ('frmmain4', 'I1', ['Meteo Channel 01', 'Meteo Channel 02']),
    ('frmmain4', 'jm', ['RTL 01', 'RTL 02']),
    ('frmmain4', 'mali', ['Net TV 01', 'Net TV 02']),
    ('frmmain4', 'NetherLands', ['NOS Journaal 01', 'NOS Journaal 02']),
    ('frmmain4', 'NetherLands', ['VPRO 01', 'VPRO 02']),
    ('frmmain4', 'philip', ['Toya TV 01', 'Toya TV 02']),
    ('frmmain4', 'philip', ['Mana Sat', 'Mana sat 2']),
    ('frmmain5', 'bang1', ['Wim TV 1', 'Wim TV 2']),
    ('frmmain5', 'khung5', ['Leman Bleu', 'Lemanbleu']),
    ('frmmain5', 'khung5', ['UTR', 'UTR Europe']),
    ('frmmain5', 'khung2', ['KBS 1', 'KBS 2']),
]

# Kinds of the entries that share no address, outside the Vietnamese panel.
SINGLE_KINDS = [
    ('m3u', 23), ('station', 36), ('station-query', 2), ('wvx', 2),
    ('http-mount', 24), ('http-wmv', 5), ('rtsp-mount', 22), ('rtsp-file', 5),
    ('mms', 3),
]


def channels():
    header, rows = read(CHANNELS)
    entries = [r for r in rows if r['kind'] in ('entry', 'logo')]
    by = {}
    for r in entries:
        by.setdefault((r['window'], r['panel'], r['caption']), []).append(r)

    groups = []  # list of lists of rows sharing one address
    grouped = set()
    for window, panels, captions in SHARED:
        panels = panels if isinstance(panels, tuple) else (panels,) * len(captions)
        g = []
        for p, c in zip(panels, captions):
            hit = by[(window, p, c)]
            assert len(hit) == 1, (window, p, c)
            g.append(hit[0])
        groups.append(('directory', g))
        grouped.update(id(r) for r in g)

    vn = {r['control']: r for r in entries if r['window'] == 'frmmain' and r['panel'] == 'vn_'}
    vn_addr = {
        'Image1': 'mms://203.0.113.50/htv7-unicast-6d1f83b0c47a29e5f0b1',
        'Image2': 'mms://203.0.113.50/htvc-unicast-a93e07c25bd4f1868e2c',
        'Image3': VN_SITE + 'htv9.asx',
        'Image4': VN_SITE + 'vtv1.asx', 'Image8': VN_SITE + 'vtv1.asx', 'LabelUni6': VN_SITE + 'vtv1.asx',
        'Image5': VN_SITE + 'vtv3.asx',
        'Image6': DIRECTORY + '4410.asx',
        'Image7': DIRECTORY + 'h4437.asx', 'LabelUni5': DIRECTORY + 'h4437.asx',
        'Image9': VN_SITE + 'vtc2.asx', 'LabelUni7': VN_SITE + 'vtc2.asx',
    }
    for c, a in vn_addr.items():
        vn[c]['address'] = a
        grouped.add(id(vn[c]))

    singles = [r for r in entries if id(r) not in grouped]
    rng = random.Random(2007)
    kinds = []
    for k, n in SINGLE_KINDS:
        kinds += [k] * n
    kinds += ['directory'] * (len(singles) - len(kinds))
    rng.shuffle(kinds)
    for r, k in zip(singles, kinds):
        groups.append((k, [r]))
    # Keep the file order for the numbering below.
    order = {id(r): i for i, r in enumerate(rows)}
    groups.sort(key=lambda kg: order[id(kg[1][0])])

    used = set(vn_addr.values())
    next_id = 10240
    counters = {}

    def unique(addr):
        base, n = addr, 2
        while addr in used:
            addr = re.sub(r'(\.[a-z0-9]+)?$', lambda m: '-%d%s' % (n, m.group(0)), base, count=1)
            n += 1
        used.add(addr)
        return addr

    for kind, g in groups:
        s = slug(g[0]['caption'])
        counters[kind] = counters.get(kind, 0) + 1
        i = counters[kind]
        if kind in ('directory', 'm3u'):
            next_id += rng.randint(1, 41)
            ident = ('%s%d' % (rng.choice('bcdhkmrtv'), next_id)) if rng.random() < 0.2 else str(next_id)
            addr = DIRECTORY + ident + ('.asx' if kind == 'directory' else '.m3u')
        elif kind == 'station':
            addr = 'http://%s.example/live/%s.asx' % (s, s)
        elif kind == 'station-query':
            addr = 'http://%s.example/redirect.asx?channel=%d' % (s, 10 + i)
        elif kind == 'wvx':
            addr = 'http://%s.example/stream/%s.wvx' % (s, s)
        elif kind == 'http-mount':
            host = ('198.51.100.%d' % (10 + i)) if i <= 11 else ('%s.example' % s)
            addr = 'http://%s/%s' % (host, s)
        elif kind == 'http-wmv':
            addr = 'http://media.%s.example/video/%s.wmv' % (s, s) + ('?bitrate=300' if i == 1 else '')
        elif kind == 'rtsp-mount':
            port = ':554' if i in (2, 9, 15) else ''
            addr = 'rtsp://live.%s.example%s/%s' % (s, port, s) + ('?profile=low' if i == 5 else '')
        elif kind == 'rtsp-file':
            addr = {
                1: 'rtsp://media.%s.example/%s.wmv' % (s, s),
                2: 'rtsp://media.%s.example/%s.wmv?quality=high' % (s, s),
                3: 'rtsp://media.%s.example:554/%s.wmv' % (s, s),
                4: 'rtsp://media.%s.example:8554/%s.wvx' % (s, s),
                5: 'rtsp://media.%s.example/%s.asx' % (s, s),
            }[i]
        elif kind == 'mms':
            addr = 'mms://203.0.113.%d/%s' % (70 + i, s)
        addr = unique(addr)
        for r in g:
            r['address'] = addr

    for r in rows:
        if r['kind'] == 'hidden':
            r['address'] = unique('http://%s.example/live/%s.asx' % (slug(r['caption']), slug(r['caption'])))
        elif r['kind'] in ('heading', 'inert'):
            r['address'] = ''
    write(CHANNELS, header, rows)


def films():
    header, rows = read(FILMS)
    rtsp = ['rtsp://192.0.2.10/phim/', 'rtsp://198.51.100.20/vod/', 'rtsp://203.0.113.30/movies/',
            'rtsp://media.phim.example/phim/', 'rtsp://stream.films.test/wmv/']
    http = ['http://192.0.2.40/phim/', 'http://video.phim.example/phim/', 'http://example.org/films/',
            'http://example.net/media/', 'http://kho-phim.example/wmv/']
    mms = ['mms://203.0.113.60/phim/']
    # Same address as an earlier entry of the same title.
    same = {'LabelUni124': 'LabelUni55', 'LabelUni123': 'LabelUni67', 'LabelUni122': 'LabelUni71'}
    # The same film file on two servers.
    same_file = {'LabelUni70': 'http://video.phim.example/phim/', 'LabelUni83': 'rtsp://media.phim.example/phim/'}
    kingkong = {'LabelUni37': 1, 'LabelUni38': 2, 'LabelUni39': 3}
    by = {r['control']: r for r in rows}
    n = {'rtsp': 0, 'http': 0, 'mms': 0}
    ports = 0
    for r in rows:
        if not r['address'] or r['control'] in same:
            continue
        scheme = r['address'].split(':', 1)[0]
        pool = {'rtsp': rtsp, 'http': http, 'mms': mms}[scheme]
        base = pool[n[scheme] % len(pool)]
        n[scheme] += 1
        name = slug(r['title'])
        if r['control'] in kingkong:
            name = 'kingkong-tai-xuat-phan-%d' % kingkong[r['control']]
        if r['control'] in same_file:
            base = same_file[r['control']]
        elif base.startswith('rtsp://203.0.113.30/') and ports < 4:
            base = base.replace('203.0.113.30/', '203.0.113.30:554/')
            ports += 1
        ext = '.WMV' if r['control'] == 'LabelUni25' else '.wmv'
        r['address'] = base + name + ext
    for c, other in same.items():
        by[c]['address'] = by[other]['address']
    write(FILMS, header, rows)


if __name__ == '__main__':
    channels()
    films()
