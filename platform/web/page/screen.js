// The screen: the program's frames on the page's canvas, as large as the
// page allows with the picture's 4:3 kept.
//
// With WebGL 2 the program's 16-bit pixels go to the graphics processor as
// they are, one texture upload a frame, and a shader widens each channel
// there (repeating its top bits, as the desktop builds show them) into a
// 640x480 picture. Without it a 2D canvas takes the pixels already widened
// to red, green, blue and alpha bytes. Where WebGL is drawn by the processor
// itself (no graphics processor, or none the browser trusts), it only adds
// work: the browser then reads every frame back from it to show it, a long
// wait on each frame. The 2D canvas is chosen there. ?screen=2d and
// ?screen=webgl choose for themselves.
//
// The picture is then drawn at the canvas's own size in device pixels,
// "sharp bilinear": as if enlarged by the largest whole factor that fits,
// pixel by pixel, and then smoothly to the final size, so that the pixels
// stay crisp and evenly sized at any size. With whole-number scaling set,
// the size itself is a whole multiple and the picture pixel by pixel.

import { $, SCREEN_H, SCREEN_W, params, testMode } from './common.js';

const canvas = $('screen');

const VERTEX_SHADER = `#version 300 es
  void main() {
    // One triangle that covers the whole target.
    gl_Position = vec4(float((gl_VertexID & 1) << 2) - 1.0, float((gl_VertexID & 2) << 1) - 1.0, 0.0, 1.0);
  }`;
// The program's pixels widened into the 640x480 picture (bottom row first,
// as the graphics processor counts rows).
const WIDEN_SHADER = `#version 300 es
  precision highp float;
  precision highp int;
  precision highp usampler2D;
  uniform usampler2D screen;
  uniform bool fiveFiveFive;
  out vec4 colour;
  void main() {
    ivec2 at = ivec2(gl_FragCoord.xy);
    uint p = texelFetch(screen, ivec2(at.x, ${SCREEN_H - 1} - at.y), 0).r;
    uvec3 c;
    if (fiveFiveFive) {
      c = uvec3((p >> 10u) & 31u, (p >> 5u) & 31u, p & 31u);
      c = (c << 3u) | (c >> 2u);
    } else {
      c = uvec3(p >> 11u, (p >> 5u) & 63u, p & 31u);
      c = uvec3((c.r << 3u) | (c.r >> 2u), (c.g << 2u) | (c.g >> 4u), (c.b << 3u) | (c.b >> 2u));
    }
    colour = vec4(vec3(c) / 255.0, 1.0);
  }`;
// The picture at the canvas's size: within each picture pixel the colour
// stays flat over all but the border a whole-factor enlargement would blend,
// and the graphics processor's linear filter blends that border.
const SCALE_SHADER = `#version 300 es
  precision highp float;
  uniform sampler2D picture;
  uniform vec2 target;
  uniform float factor;
  out vec4 colour;
  void main() {
    const vec2 size = vec2(${SCREEN_W}.0, ${SCREEN_H}.0);
    vec2 texel = gl_FragCoord.xy / target * size;
    vec2 offset = fract(texel) - 0.5;
    vec2 still = vec2(0.5 - 0.5 / factor);
    vec2 at = floor(texel) + (offset - clamp(offset, -still, still)) * factor + 0.5;
    colour = texture(picture, at / size);
  }`;

// The whole factor a sharp bilinear enlargement starts from.
function wholeFactor(width, height) {
  return Math.max(1, Math.floor(Math.min(width / SCREEN_W, height / SCREEN_H)));
}

function glScreen() {
  const gl = canvas.getContext('webgl2', {
    alpha: false, antialias: false, depth: false, stencil: false,
  });
  if (!gl)
    return null;
  let widen = null;       // { program, fiveFiveFive location }
  let scale = null;       // { program, target, factor locations }
  let screenTexture = null;
  let picture = null;     // the 640x480 picture and its framebuffer
  let fiveFiveFive = null;
  let pixels = null;      // the program's memory as 16-bit words

  function link(fragment) {
    const shader = (type, source) => {
      const s = gl.createShader(type);
      gl.shaderSource(s, source);
      gl.compileShader(s);
      return s;
    };
    const program = gl.createProgram();
    gl.attachShader(program, shader(gl.VERTEX_SHADER, VERTEX_SHADER));
    gl.attachShader(program, shader(gl.FRAGMENT_SHADER, fragment));
    gl.linkProgram(program);
    return gl.getProgramParameter(program, gl.LINK_STATUS) ? program : null;
  }

  function texture(format, filter) {
    const t = gl.createTexture();
    gl.bindTexture(gl.TEXTURE_2D, t);
    gl.texParameteri(gl.TEXTURE_2D, gl.TEXTURE_MIN_FILTER, filter);
    gl.texParameteri(gl.TEXTURE_2D, gl.TEXTURE_MAG_FILTER, filter);
    gl.texParameteri(gl.TEXTURE_2D, gl.TEXTURE_WRAP_S, gl.CLAMP_TO_EDGE);
    gl.texParameteri(gl.TEXTURE_2D, gl.TEXTURE_WRAP_T, gl.CLAMP_TO_EDGE);
    gl.texStorage2D(gl.TEXTURE_2D, 1, format, SCREEN_W, SCREEN_H);
    return t;
  }

  function build() {
    const widenProgram = link(WIDEN_SHADER);
    const scaleProgram = link(SCALE_SHADER);
    if (!widenProgram || !scaleProgram)
      return false;
    widen = { program: widenProgram, flag: gl.getUniformLocation(widenProgram, 'fiveFiveFive') };
    scale = {
      program: scaleProgram,
      target: gl.getUniformLocation(scaleProgram, 'target'),
      factor: gl.getUniformLocation(scaleProgram, 'factor'),
    };
    fiveFiveFive = null;
    gl.activeTexture(gl.TEXTURE1);
    const pictureTexture = texture(gl.RGBA8, gl.LINEAR);
    const framebuffer = gl.createFramebuffer();
    gl.bindFramebuffer(gl.FRAMEBUFFER, framebuffer);
    gl.framebufferTexture2D(gl.FRAMEBUFFER, gl.COLOR_ATTACHMENT0, gl.TEXTURE_2D, pictureTexture, 0);
    if (gl.checkFramebufferStatus(gl.FRAMEBUFFER) !== gl.FRAMEBUFFER_COMPLETE)
      return false;
    picture = { texture: pictureTexture, framebuffer };
    gl.activeTexture(gl.TEXTURE0);
    screenTexture = texture(gl.R16UI, gl.NEAREST);
    gl.useProgram(widen.program);
    gl.uniform1i(gl.getUniformLocation(widen.program, 'screen'), 0);
    gl.useProgram(scale.program);
    gl.uniform1i(gl.getUniformLocation(scale.program, 'picture'), 1);
    return gl.getError() === gl.NO_ERROR;
  }
  if (!build())
    return null;
  // A lost context shows nothing until it is back; the next frame then
  // draws the whole screen again.
  let lost = false;
  canvas.addEventListener('webglcontextlost', (e) => {
    e.preventDefault();
    lost = true;
  });
  canvas.addEventListener('webglcontextrestored', () => {
    lost = !build();
  });

  function show() {
    gl.bindFramebuffer(gl.FRAMEBUFFER, null);
    gl.viewport(0, 0, canvas.width, canvas.height);
    gl.useProgram(scale.program);
    gl.uniform2f(scale.target, canvas.width, canvas.height);
    gl.uniform1f(scale.factor, wholeFactor(canvas.width, canvas.height));
    gl.drawArrays(gl.TRIANGLES, 0, 3);
  }

  return {
    packed: true,
    present(memory, offset, pitch, five) {
      if (lost)
        return;
      if (!pixels || pixels.buffer !== memory)
        pixels = new Uint16Array(memory);
      gl.useProgram(widen.program);
      if (five !== fiveFiveFive) {
        gl.uniform1i(widen.flag, five ? 1 : 0);
        fiveFiveFive = five;
      }
      gl.pixelStorei(gl.UNPACK_ROW_LENGTH, pitch / 2);
      gl.texSubImage2D(gl.TEXTURE_2D, 0, 0, 0, SCREEN_W, SCREEN_H, gl.RED_INTEGER, gl.UNSIGNED_SHORT, pixels,
        offset / 2);
      gl.bindFramebuffer(gl.FRAMEBUFFER, picture.framebuffer);
      gl.viewport(0, 0, SCREEN_W, SCREEN_H);
      gl.drawArrays(gl.TRIANGLES, 0, 3);
      show();
    },
    // The canvas has a new size: the last picture drawn again at it.
    resized() {
      if (!lost)
        show();
    },
    // The 640x480 picture as red, green, blue bytes, for the tests.
    rgb() {
      const data = new Uint8Array(SCREEN_W * SCREEN_H * 4);
      gl.bindFramebuffer(gl.FRAMEBUFFER, picture.framebuffer);
      gl.readPixels(0, 0, SCREEN_W, SCREEN_H, gl.RGBA, gl.UNSIGNED_BYTE, data);
      gl.bindFramebuffer(gl.FRAMEBUFFER, null);
      // The rows come bottom up.
      const rgb = new Uint8Array(SCREEN_W * SCREEN_H * 3);
      for (let y = 0, j = 0; y < SCREEN_H; ++y) {
        for (let i = (SCREEN_H - 1 - y) * SCREEN_W * 4, end = i + SCREEN_W * 4; i < end; i += 4, j += 3) {
          rgb[j] = data[i];
          rgb[j + 1] = data[i + 1];
          rgb[j + 2] = data[i + 2];
        }
      }
      return rgb;
    },
  };
}

function canvasScreen() {
  const context = canvas.getContext('2d', { alpha: false });
  // The 640x480 picture, and the whole-factor enlargement of it that is
  // then drawn smoothly at the canvas's size.
  const source = document.createElement('canvas');
  source.width = SCREEN_W;
  source.height = SCREEN_H;
  const sourceContext = source.getContext('2d', { willReadFrequently: testMode });
  const enlarged = document.createElement('canvas');
  const enlargedContext = enlarged.getContext('2d', { alpha: false });
  let image = null;  // over the program's memory, made again when it grows
  let imageOffset = 0;

  function show() {
    const width = canvas.width;
    const height = canvas.height;
    const factor = wholeFactor(width, height);
    let from = source;
    if (width !== SCREEN_W * factor || height !== SCREEN_H * factor) {
      if (factor > 1) {
        if (enlarged.width !== SCREEN_W * factor) {
          enlarged.width = SCREEN_W * factor;
          enlarged.height = SCREEN_H * factor;
        }
        enlargedContext.imageSmoothingEnabled = false;
        enlargedContext.drawImage(source, 0, 0, enlarged.width, enlarged.height);
        from = enlarged;
      }
      context.imageSmoothingEnabled = true;
      context.imageSmoothingQuality = 'low';
    } else {
      context.imageSmoothingEnabled = false;
    }
    context.drawImage(from, 0, 0, width, height);
  }

  return {
    packed: false,
    present(memory, offset) {
      if (!image || image.data.buffer !== memory || imageOffset !== offset) {
        image = new ImageData(new Uint8ClampedArray(memory, offset, SCREEN_W * SCREEN_H * 4), SCREEN_W, SCREEN_H);
        imageOffset = offset;
      }
      sourceContext.putImageData(image, 0, 0);
      show();
    },
    resized: show,
    rgb() {
      const data = sourceContext.getImageData(0, 0, SCREEN_W, SCREEN_H).data;
      const rgb = new Uint8Array(SCREEN_W * SCREEN_H * 3);
      for (let i = 0, j = 0; i < data.length; i += 4, j += 3) {
        rgb[j] = data[i];
        rgb[j + 1] = data[i + 1];
        rgb[j + 2] = data[i + 2];
      }
      return rgb;
    },
  };
}

// Whether this browser's WebGL is drawn by the processor, as far as it says
// (some browsers do not name their renderer; WebGL is then used). Asked of a
// canvas of its own: a canvas with a WebGL context can take no other.
function softwareWebgl() {
  const gl = document.createElement('canvas').getContext('webgl2');
  if (!gl)
    return false;
  const info = gl.getExtension('WEBGL_debug_renderer_info');
  const renderer = info ? String(gl.getParameter(info.UNMASKED_RENDERER_WEBGL)) : '';
  const lose = gl.getExtension('WEBGL_lose_context');
  if (lose)
    lose.loseContext();
  return /SwiftShader|llvmpipe|softpipe|Software/i.test(renderer);
}

// Made once the packs are on their way: a WebGL context takes a while to
// set up, and the downloads need not wait for it.
let screenMade = null;
export function screen() {
  if (!screenMade) {
    const wanted = params.get('screen');
    screenMade = (wanted !== '2d' && (wanted === 'webgl' || !softwareWebgl()) && glScreen()) || canvasScreen();
    sizeCanvas();
    warmUp(WARM_FRAMES);
  }
  return screenMade;
}

// The browser makes the canvas's first few buffers as it first needs them,
// each a slow step on a slow phone. Drawing the still black canvas a few
// times while the program downloads has them made then, not in the title's
// first moments.
const WARM_FRAMES = 4;
function warmUp(frames) {
  if (frames > 0 && !shown) {
    requestAnimationFrame(() => {
      if (!shown) {
        screenMade.resized();
        warmUp(frames - 1);
      }
    });
  }
}

// ---- Size on the page

let integerScale = params.get('scale') === 'integer';
let canvasSize = [SCREEN_W, SCREEN_H];

// The canvas's pixels are the device's pixels under it, so that the page's
// own scaling blurs nothing.
function sizeCanvas() {
  const [width, height] = canvasSize;
  if (canvas.width !== width || canvas.height !== height) {
    canvas.width = width;
    canvas.height = height;
    if (screenMade)
      screenMade.resized();
  }
}

// Unless the player's pointer is a finger, full screen gives the picture the
// whole screen and the controls lie over its foot, shown while the pointer
// moves; on a touch screen they stay below the picture, where the thumbs
// are.
const touchScreen = matchMedia('(pointer: coarse)');

// The largest picture the space left by the page's other parts holds, 4:3
// kept; with whole-number scaling, the largest whole multiple in device
// pixels (on a screen too small for one, the largest that fits).
export function layout() {
  const main = document.querySelector('main');
  const full = document.fullscreenElement === main;
  const overlay = full && !touchScreen.matches;
  main.classList.toggle('overlay-controls', overlay);
  const controls = $('controls');
  const header = document.querySelector('header');
  const width = full ? window.innerWidth : document.documentElement.clientWidth;
  let height = window.innerHeight;
  if (!overlay)
    height -= controls.offsetHeight;
  if (!full)
    height -= header.offsetHeight;
  const ratio = window.devicePixelRatio || 1;
  let scale = Math.min(width / SCREEN_W, Math.max(height, 120) / SCREEN_H) * ratio;
  if (integerScale && scale >= 1)
    scale = Math.floor(scale);
  const deviceWidth = Math.max(1, Math.floor(SCREEN_W * scale));
  const deviceHeight = Math.max(1, Math.floor(SCREEN_H * scale));
  const stage = $('stage');
  stage.style.width = `${deviceWidth / ratio}px`;
  stage.style.height = `${deviceHeight / ratio}px`;
  canvasSize = [deviceWidth, deviceHeight];
  sizeCanvas();
}
window.addEventListener('resize', layout);
document.addEventListener('fullscreenchange', layout);
touchScreen.addEventListener('change', layout);
// A page moved to a screen of another pixel density; the question names the
// density it was asked with, so it is asked again for the new one.
function watchDensity() {
  matchMedia(`(resolution: ${window.devicePixelRatio || 1}dppx)`).addEventListener('change', () => {
    layout();
    watchDensity();
  }, { once: true });
}
watchDensity();

// Whole-number scaling on or off (a setting of the page).
export function setIntegerScale(on) {
  integerScale = on || params.get('scale') === 'integer';
  layout();
}

// The frame shown last, where it lies in the program's memory, until the
// program draws the next one.
let shown = null;

// Shows a frame of the program: 16-bit pixels (5-6-5, or 5-5-5 with
// fiveFiveFive), rows pitch bytes apart, where the screen takes them
// packed; otherwise red, green, blue and alpha bytes, row by row.
export function present(memory, offset, pitch, fiveFiveFive) {
  shown = { memory, offset, pitch, fiveFiveFive };
  screen().present(memory, offset, pitch, fiveFiveFive);
}

// A 5- or 6-bit channel widened to 8 bits by repeating its top bits, as
// every build shows it and as the headless replay writes its pictures.
const widen5 = (v) => (v << 3) | (v >> 2);
const widen6 = (v) => (v << 2) | (v >> 4);

// The frame shown last as 8-bit red, green, blue bytes, row by row: the
// program's own pixels, whatever size the canvas shows them at. Only until
// the program runs its next frame.
export function shownRgb() {
  if (!shown)
    return null;
  const rgb = new Uint8Array(SCREEN_W * SCREEN_H * 3);
  const { memory, offset, pitch, fiveFiveFive } = shown;
  if (pitch === undefined) {
    const rgba = new Uint8Array(memory, offset, SCREEN_W * SCREEN_H * 4);
    for (let i = 0, j = 0; j < rgb.length; i += 4, j += 3) {
      rgb[j] = rgba[i];
      rgb[j + 1] = rgba[i + 1];
      rgb[j + 2] = rgba[i + 2];
    }
    return rgb;
  }
  const view = new DataView(memory);
  for (let y = 0, j = 0; y < SCREEN_H; ++y) {
    for (let x = 0, at = offset + y * pitch; x < SCREEN_W; ++x, at += 2, j += 3) {
      const p = view.getUint16(at, true);
      if (fiveFiveFive) {
        rgb[j] = widen5((p >> 10) & 31);
        rgb[j + 1] = widen5((p >> 5) & 31);
      } else {
        rgb[j] = widen5(p >> 11);
        rgb[j + 1] = widen6((p >> 5) & 63);
      }
      rgb[j + 2] = widen5(p & 31);
    }
  }
  return rgb;
}
