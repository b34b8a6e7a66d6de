// Firefox ESR for the browser tests, driven over WebDriver BiDi by puppeteer-core (Debian has
// no geckodriver). A line protocol for web_lib.py's Firefox class: each line on stdin is one
// JSON command, each answer one line of JSON ({ok: value} or {error: text}) on the descriptor
// ANSWER_FD. Firefox's own output (the page's console among it) goes to stdout and stderr: an
// answer of a megabyte of pixels sharing that pipe once came back with foreign bytes inside it.
// Usage: node web_firefox.mjs NODE_MODULES_FOLDER ANSWER_FD
import fs from 'node:fs';
import { createRequire } from 'node:module';
import path from 'node:path';
import readline from 'node:readline';

const require = createRequire(path.join(process.argv[2], 'x.js'));
const puppeteer = require('puppeteer-core');

const browser = await puppeteer.launch({
  browser: 'firefox',
  executablePath: '/usr/bin/firefox-esr',
  headless: false,  // on the test command's X display: fullscreen and X input need a window
  // Firefox prints the page's console, WebGL warnings included, on its stdout only with this.
  // Audible autoplay blocked, as a user's Firefox has it: only the click may start the sound.
  extraPrefsFirefox: { 'devtools.console.stdout.content': true, 'media.autoplay.default': 1 },
  dumpio: true,
  args: ['--width=640', '--height=480'],
  ignoreDefaultArgs: ['--mute-audio'],
});
const page = (await browser.pages())[0] || await browser.newPage();
const consoleLines = [];
page.on('console', (message) => consoleLines.push(`${message.type()}: ${message.text()}`));
page.on('pageerror', (error) => consoleLines.push(`pageerror: ${error.message}`));

const commands = {
  version: () => browser.version(),
  open: ({ url }) => page.goto(url, { waitUntil: 'load' }).then(() => null),
  // The body of a function, as selenium's execute_script takes it: `arguments` are the args.
  js: ({ body, args }) => page.evaluate((b, a) => new Function(b).apply(null, a), body, args || []),
  title: () => page.title(),
  console: () => consoleLines.slice(),
  quit: async () => { await browser.close(); process.exit(0); },
};

const answerFd = Number(process.argv[3]);
function answerLine(text) {
  const bytes = Buffer.from(text);
  for (let done = 0; done < bytes.length;) done += fs.writeSync(answerFd, bytes, done);
}

const lines = readline.createInterface({ input: process.stdin });
for await (const line of lines) {
  const command = JSON.parse(line);
  let answer;
  try {
    answer = { ok: (await commands[command.op](command)) ?? null };
  } catch (e) {
    answer = { error: String(e && e.message || e) };
  }
  answerLine(`${JSON.stringify(answer)}\n`);
}
await browser.close();
