#!/usr/bin/env python3
"""Draws the agent's icon (a dark keycap with a glowing orange Q-ring) at the tray and
desktop sizes and writes one multi-size .ico. Run: make_icon.py OUTPUT.ico"""
import sys
from PIL import Image, ImageDraw, ImageFilter

SIZES = [16, 20, 24, 32, 40, 48, 64, 256]
ACCENT = (255, 128, 25, 255)


def draw(size):
    scale = 4  # supersample, then shrink for smooth edges
    s = size * scale
    img = Image.new("RGBA", (s, s), (0, 0, 0, 0))
    d = ImageDraw.Draw(img)
    pad = max(1, s // 16)
    radius = s // 5
    # keycap body with a lighter top face
    d.rounded_rectangle([pad, pad, s - pad - 1, s - pad - 1], radius, fill=(18, 20, 26, 255),
                        outline=(70, 74, 86, 255), width=max(1, s // 32))
    inner = s // 7
    d.rounded_rectangle([inner, inner, s - inner - 1, s - inner * 1.3], radius * 0.7, fill=(34, 37, 46, 255))
    # glow ring
    glow = Image.new("RGBA", (s, s), (0, 0, 0, 0))
    g = ImageDraw.Draw(glow)
    cx, cy, r = s / 2, s * 0.47, s * 0.24
    w = max(2, int(s * 0.085))
    g.ellipse([cx - r, cy - r, cx + r, cy + r], outline=ACCENT, width=w)
    g.line([cx + r * 0.35, cy + r * 0.35, cx + r * 1.05, cy + r * 1.05], fill=ACCENT, width=w)
    if size >= 32:
        blurred = glow.filter(ImageFilter.GaussianBlur(s / 40))
        img = Image.alpha_composite(img, blurred)
    img = Image.alpha_composite(img, glow)
    return img.resize((size, size), Image.LANCZOS)


def main():
    out = sys.argv[1]
    images = [draw(n) for n in SIZES]
    images[-1].save(out, format="ICO", sizes=[(n, n) for n in SIZES], append_images=images[:-1])


if __name__ == "__main__":
    main()
